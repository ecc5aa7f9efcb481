// A view over the test document with a picture that ImageMagick makes and the
// document loads: the ground of the tests on what the image view shows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/ViewImageState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace imagetest {

class ShownPictureTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("convert");
    view_ = std::make_unique<CQelView>(*doc_);
  }
  // `convert RECIPE NAME`, then the file loaded as the shown picture.
  void Open(const std::string& name, const std::string& recipe) {
    testenv::Shell("convert " + recipe + testenv::Quote(dir_.HostPath(name)));
    ASSERT_EQ(doc_->LoadDocument(Win(name)), 0);
    ASSERT_NE(view_->Image().m_pImageBits, nullptr);
  }
  std::unique_ptr<CQelView> view_;
};

}  // namespace imagetest
