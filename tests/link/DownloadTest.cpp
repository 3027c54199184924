// The download from a real update server (python's http.server on 127.0.0.1): a whole file, a cut,
// a 404, a redirect, a stall, a cancel and a certificate nobody vouches for; the firmware file of
// the program folder is replaced only by a complete and valid one.

#include <dirent.h>
#include <gtest/gtest.h>

#include "link/Download.h"
#include "link/FirmwareFile.h"
#include "link/FirmwareUpdate.h"
#include "tests/link/FirmwareRig.h"
#include "tests/link/LinkRig.h"
#include "tests/support/UpdateServer.h"

namespace sondesk {
namespace {

using namespace test;

const std::string kScript = std::string(SONDESK_SOURCE_DIR) + "/tests/support/update_server.py";

struct DownloadRig : LinkRig {
  std::string root = dir / "www";
  std::string programDir = dir / "program";
  std::string target = programDir + "/SONVAR.MHX";
  std::string oldText = FirmwareText("OLD 1.0", FirmwareLines(4, 0x000200, "OLD 1.0"));
  std::string served = ReadFile(ShippedFirmwarePath());

  DownloadRig() {
    MakeFolders(root + "/file");
    MakeFolders(programDir);
    WriteFile(root + "/file/sonvar.mhx", served);
    WriteFile(target, oldText);
    session->SetProgramDir(programDir);
  }
  // The update server's base for this run: `prefix` picks one of the server's ways of failing.
  void UseServer(const UpdateServer& server, const std::string& prefix = "") {
    session->settings().updateUrl = server.base() + prefix;
  }
  std::vector<std::string> ProgramFolder() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(programDir.c_str())) {
      while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      }
      ::closedir(d);
    }
    return names;
  }
  int Fetch(std::string& error) {
    bool invalid = false;
    session->progress().ProgressStart(250);
    session->progress().AllowCancel();
    const int ok = FetchFirmwareFile(*session, target, error, invalid);
    session->progress().ProgressEnd();
    return ok;
  }
};

TEST(UpdateUrlTest, HttpsUnlessTheSettingSaysOtherwise) {
  EXPECT_EQ(JoinUrl("updates.example.org", kFirmwareServerPath), "https://updates.example.org/file/sonvar.mhx");
  EXPECT_EQ(JoinUrl("http://127.0.0.1:8000", "/file/sonvar.mhx"), "http://127.0.0.1:8000/file/sonvar.mhx");
  EXPECT_EQ(JoinUrl("https://h/base/", "file/sonvar.mhx"), "https://h/base/file/sonvar.mhx");
  LinkRig rig;
  EXPECT_EQ(UpdateServerUrl(*rig.session, kFirmwareServerPath), JoinUrl(rig.session->Text(16), kFirmwareServerPath));
  rig.session->settings().deviceUrl = "sonvar.example.net";
  EXPECT_EQ(UpdateServerUrl(*rig.session, kFirmwareServerPath), "https://sonvar.example.net/file/sonvar.mhx");
  rig.session->settings().updateUrl = "http://127.0.0.1:1/u";
  EXPECT_EQ(UpdateServerUrl(*rig.session, kFirmwareServerPath), "http://127.0.0.1:1/u/file/sonvar.mhx");
}

TEST(DownloadTest, AWholeFileReplacesTheOldOneCountingOneItemPer1024Bytes) {
  DownloadRig rig;
  UpdateServer server(kScript, rig.root);
  ASSERT_TRUE(server.running());
  std::string error;
  Progress& progress = rig.session->progress();
  progress.ProgressStart(250);
  ASSERT_EQ(DownloadFile(*rig.session, server.base() + kFirmwareServerPath, rig.dir / "got.mhx", error), 1) << error;
  EXPECT_EQ(progress.done(), (rig.served.size() + 1023) / 1024);
  progress.ProgressEnd();
  EXPECT_EQ(ReadFile(rig.dir / "got.mhx"), rig.served);

  rig.UseServer(server, "redirect/");  // redirects are followed
  ASSERT_EQ(rig.Fetch(error), 1) << error;
  EXPECT_EQ(ReadFile(rig.target), rig.served);
  EXPECT_EQ(rig.ProgramFolder(), (std::vector<std::string>{"SONVAR.MHX"}));
  EXPECT_TRUE(rig.ui.boxes.empty());
}

TEST(DownloadTest, ACutOr404LeavesTheOldFileByteForByte) {
  DownloadRig rig;
  UpdateServer server(kScript, rig.root);
  ASSERT_TRUE(server.running());
  std::string error;

  rig.UseServer(server, "cut/");
  EXPECT_EQ(rig.Fetch(error), 0);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  EXPECT_EQ(rig.ProgramFolder(), (std::vector<std::string>{"SONVAR.MHX"}));  // no half file left behind
  EXPECT_TRUE(rig.ui.boxes.empty()) << "a transfer cut half way is not a box of its own";

  rig.UseServer(server, "nothere/");
  EXPECT_EQ(rig.Fetch(error), 0);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  EXPECT_EQ(rig.ProgramFolder(), (std::vector<std::string>{"SONVAR.MHX"}));
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_EQ(rig.ui.boxes[0].title, "Internet connection error");
  EXPECT_NE(rig.ui.boxes[0].text.find("Internet Session for " + server.base() + "nothere/file/sonvar.mhx failed'\n"),
            std::string::npos);
  EXPECT_NE(rig.ui.boxes[0].text.find("404"), std::string::npos) << rig.ui.boxes[0].text;

  // A file that arrives whole but is no valid firmware is refused too.
  WriteFile(rig.root + "/file/sonvar.mhx", "Release 9\r\n3 0\r\nabc");
  rig.UseServer(server);
  bool invalid = false;
  EXPECT_EQ(FetchFirmwareFile(*rig.session, rig.target, error, invalid), 0);
  EXPECT_TRUE(invalid);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  EXPECT_EQ(rig.ProgramFolder(), (std::vector<std::string>{"SONVAR.MHX"}));
}

TEST(DownloadTest, ASelfSignedCertificateIsRefusedWithAClearMessage) {
  DownloadRig rig;
  if (!MakeSelfSignedCertificate(rig.dir / "cert.pem", rig.dir / "key.pem")) GTEST_SKIP() << "no openssl";
  UpdateServer server(kScript, rig.root, rig.dir / "cert.pem", rig.dir / "key.pem");
  ASSERT_TRUE(server.running());
  EXPECT_EQ(server.base().rfind("https://", 0), 0u);
  rig.UseServer(server);
  std::string error;
  EXPECT_EQ(rig.Fetch(error), 0);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  ASSERT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_NE(rig.ui.boxes[0].text.find("certificate"), std::string::npos) << rig.ui.boxes[0].text;
}

TEST(DownloadTest, AStalledServerTimesOutAndCancelIsHonoured) {
  DownloadRig rig;
  UpdateServer server(kScript, rig.root);
  ASSERT_TRUE(server.running());
  std::string error;
  DownloadOptions quick;
  quick.stallSeconds = 1;
  const double stalled = RealSeconds([&] {
    EXPECT_EQ(DownloadFile(*rig.session, server.base() + "stall/" + kFirmwareServerPath, rig.dir / "s.mhx", error,
                           quick),
              0);
  });
  EXPECT_LT(stalled, 20.0);
  EXPECT_FALSE(IsFile(rig.dir / "s.mhx"));

  rig.ui.cancelAfterPumps = 0;
  rig.UseServer(server, "stall/");
  const double cancelled = RealSeconds([&] { EXPECT_EQ(rig.Fetch(error), 0); });
  EXPECT_EQ(error, "download cancelled");
  EXPECT_LT(cancelled, 20.0);
  EXPECT_EQ(ReadFile(rig.target), rig.oldText);
  EXPECT_EQ(rig.ProgramFolder(), (std::vector<std::string>{"SONVAR.MHX"}));
}

TEST(DownloadTest, TheUpdateCommandDownloadsChecksAndSends) {
  DownloadRig rig;
  UpdateServer server(kScript, rig.root);
  ASSERT_TRUE(server.running());
  rig.UseServer(server);
  auto link = rig.Connect();
  rig.ui.boxAnswers = {BoxAnswer::Yes};  // the version question
  const FirmwareUpdateResult r = UpdateFirmware(*rig.session, *link);
  ASSERT_EQ(r.outcome, FirmwareOutcome::Updated) << r.detail;
  EXPECT_EQ(ReadFile(rig.target), rig.served);
  EXPECT_EQ(rig.ui.boxes.size(), 1u);
  EXPECT_TRUE(std::find(rig.ui.progressLines.begin(), rig.ui.progressLines.end(), "1:" + rig.session->Text(28)) !=
              rig.ui.progressLines.end());
  EXPECT_EQ(link->virtualPlayer()->flash().Summarize().bytes, CheckFirmwareFile(rig.target).dataBytes);

  // The server gone: the download's box, then the question of message 29.
  rig.ui.boxes.clear();
  rig.session->settings().updateUrl = "http://127.0.0.1:1/";
  rig.ui.boxAnswers = {BoxAnswer::Ok, BoxAnswer::No};
  EXPECT_EQ(UpdateFirmware(*rig.session, *link).outcome, FirmwareOutcome::Declined);
  ASSERT_EQ(rig.ui.boxes.size(), 2u);
  EXPECT_EQ(rig.ui.boxes[0].title, "Internet connection error");
  EXPECT_EQ(rig.ui.boxes[1].text, rig.session->Text(29));
  EXPECT_EQ(ReadFile(rig.target), rig.served);
}

}  // namespace
}  // namespace sondesk
