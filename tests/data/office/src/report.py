#!/usr/bin/python3
# Writes report.docx with python-docx: page size and margins, paragraphs, a page
# break, a table with a table nested in a cell, a picture and Japanese text.
import io, subprocess, sys
from docx import Document
from docx.shared import Cm, Twips

doc = Document()
section = doc.sections[0]
section.page_width, section.page_height = Cm(21), Cm(29.7)
section.top_margin, section.left_margin, section.right_margin = Cm(3), Cm(2), Cm(2)
doc.add_heading('Field notes', level=1)
doc.add_paragraph('Birds were counted along the river on three mornings in May.')
doc.add_paragraph('川沿いで鳥を数えました。')
table = doc.add_table(rows=2, cols=2)
table.cell(0, 0).text = 'Species'
table.cell(0, 1).text = 'Count'
table.cell(1, 0).text = 'Heron'
inner = table.cell(1, 1).add_table(rows=1, cols=2)
inner.cell(0, 0).text = 'adults'
inner.cell(0, 1).text = 'young'
doc.add_paragraph('The table ends here.')
png = subprocess.run(['convert', '-size', '60x40', 'xc:olive', 'png:-'], capture_output=True, check=True).stdout
doc.add_picture(io.BytesIO(png), width=Cm(4))
doc.add_page_break()
doc.add_paragraph('Second page: weather was calm.')
doc.save(sys.argv[1])
