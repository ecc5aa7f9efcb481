// The MCI tests' fixtures: a host on the program clock over a temporary folder, and
// an ALSA file device in a private HOME.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/mci/AlsaLibrary.h"
#include "platform/mci/Mci.h"
#include "platform/os/Files.h"
#include "platform/ui/Ui.h"
#include "support/TestFiles.h"

namespace mcitest {

class MciTest : public ::testing::Test {
 protected:
  testenv::TempDir dir_;
  plat::UiHost ui_;
  plat::MciHost mci_{ui_};

  std::string Win(const std::string& name) const { return plat::FromHostPath(dir_.HostPath(name)); }
  std::string Send(const std::string& command, plat::MCIERROR* error = nullptr, unsigned length = 50) {
    std::vector<char> reply(length + 1, '\x7F');
    const plat::MCIERROR e = mci_.SendString(command, reply.data(), length);
    if (error) *error = e;
    return reply.data();
  }
  plat::MCIERROR Error(const std::string& command) {
    plat::MCIERROR e = 0;
    Send(command, &e);
    return e;
  }
  std::string Make(const std::string& name, const std::string& command) {
    testenv::Shell(command + " " + testenv::Quote(dir_.HostPath(name)) + " 2>/dev/null");
    return dir_.HostPath(name);
  }
};

// An ALSA file device in a private HOME: what is played lands in out.raw, what is
// recorded comes from in.raw.
class MciAudioTest : public MciTest {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    oldHome_ = home ? home : "";
    testenv::WriteHostFile(dir_.HostPath(".asoundrc"),
                           "pcm.pelnorixtest {\n type file\n slave.pcm null\n file \"" + dir_.HostPath("out.raw") +
                               "\"\n infile \"" + dir_.HostPath("in.raw") + "\"\n format raw\n}\n");
    setenv("HOME", dir_.Host().c_str(), 1);
    plat::Alsa()->snd_config_update_free_global();
    mci_.SetAudioDevice("pelnorixtest");
    mci_.SetWorkFolder(Win(""));
  }
  void TearDown() override {
    setenv("HOME", oldHome_.c_str(), 1);
    plat::Alsa()->snd_config_update_free_global();
  }
  std::string oldHome_;
};

}  // namespace mcitest
