// Restore marks: what identifies a camera from boot to boot, and the marks
// file read back as written.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"

namespace {

TEST(RestoreMarks, ACameraIsKnownByItsByIdLinkOrElseByNameNeverByNode) {
  const TFVideoCaptureDevice usb{"HD Webcam", "uvcvideo usb-1",
                                 "/dev/v4l/by-id/usb-Maker_HD_Webcam_SN123-video-index0"};
  const TFVideoCaptureDevice bare{"vivid", "vivid platform", "/dev/video3"};
  const TFVideoCaptureDevice virtualCamera{"Lab", "", "virtual:/lab"};
  EXPECT_EQ(CameraIdentity(usb), usb.Path);
  EXPECT_EQ(CameraIdentity(bare), "name:vivid");
  EXPECT_EQ(CameraIdentity(virtualCamera), "virtual:/lab");
  EXPECT_FALSE(KnownOnlyByNode(usb));
  EXPECT_TRUE(KnownOnlyByNode(bare));
  // Only /dev/video and a number is a bare node.
  for (const char* path : {"/dev/video", "/dev/video1a", "/dev/videox", "/dev/video-1",
                           "dev/video1", "/dev/video1/", " /dev/video1"})
    EXPECT_FALSE(KnownOnlyByNode({"vivid", "", path})) << path;
  EXPECT_TRUE(KnownOnlyByNode({"vivid", "", "/dev/video12"}));
  // The same camera on another node is the same camera.
  EXPECT_EQ(CameraIdentity({"vivid", "", "/dev/video7"}), CameraIdentity(bare));
}

TEST(RestoreMarks, MarksReadBackPerCameraAndAnUnwritablePlaceThrows) {
  QTemporaryDir home;
  TRestoreMarks marks(home.path() + "/config/varnholt/restore.ini");  // folders made on demand
  const TFVideoCaptureDevice a{"Cam", "", "/dev/v4l/by-id/usb-A-video-index0"};
  const TFVideoCaptureDevice b{"Cam", "", "/dev/v4l/by-id/usb-B-video-index0"};
  EXPECT_FALSE(marks.Find(a));
  marks.Mark(a, home.path() + "/a.vhx");
  marks.Mark(b, home.path() + "/b.vhx");
  ASSERT_TRUE(marks.Find(a));
  EXPECT_EQ(marks.Find(a)->File, home.path() + "/a.vhx");
  EXPECT_EQ(marks.Find(a)->CameraName, "Cam");
  EXPECT_EQ(marks.Find(b)->File, home.path() + "/b.vhx");  // two of a kind stay apart
  marks.Unmark(a);
  EXPECT_FALSE(marks.Find(a));
  EXPECT_TRUE(marks.Find(b));

  ASSERT_TRUE(QDir(home.path()).mkdir("blocked"));
  TRestoreMarks blocked(home.path() + "/blocked");  // a folder where the file should be
  EXPECT_THROW(blocked.Mark(a, "x.vhx"), varnholt::EIniFileException);
}

}  // namespace
