// The pieces CQelDoc::GetPathPart takes out of a path.
#pragma once

enum class PathPart {
  kName = 1,               // "C:\d\name.tar.gz" -> "name.tar.gz"
  kStem = 2,               //                    -> "name.tar"
  kFolder = 3,             //                    -> "C:\d" ("" without a separator)
  kPlainName = 4,          // a protected name without its marker: "a.+rtf" -> "a.rtf"
  kExtension = 5,          //                    -> "gz" ("" without a dot)
  kWithoutExtension = 6,   //                    -> "C:\d\name.tar"
};
