// Loading, atomically replacing and locking files with platform/win under Wine.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/win/WinFiles.h"
#include "platform/win/WinFolders.h"

namespace varnholt::win {
namespace {

// A fresh folder of this test's own under the private folder.
class WinFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = PrivateFolder() + L"\\files-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(::GetTickCount64());
    ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring path = folder_ + L"\\" + found.cFileName;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          ::DeleteFileW(path.c_str());
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryW((folder_ + L"\\sub").c_str());
    ::RemoveDirectoryW(folder_.c_str());
  }
  std::wstring Path(const wchar_t* name) const { return folder_ + L"\\" + name; }
  int FilesInFolder() const {
    int files = 0;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
      return 0;
    do
      files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return files;
  }

  std::wstring folder_;
};

TEST_F(WinFiles, SaveLoadAndWhatIsRefused) {
  const std::wstring file = Path(L"Varnholt.ini");
  EXPECT_EQ(LoadFile(file, 100).kind, FileKind::Missing);
  EXPECT_EQ(LoadFile(Path(L"none\\x.ini"), 100).kind, FileKind::Missing);
  ASSERT_EQ(SaveFileAtomically(file, "[a]\r\nb=1\r\n").outcome, Saved::Done);
  LoadedFile loaded = LoadFile(file, 100);
  EXPECT_EQ(loaded.kind, FileKind::Regular);
  EXPECT_EQ(loaded.error, 0u);
  EXPECT_EQ(loaded.bytes, "[a]\r\nb=1\r\n");
  EXPECT_TRUE(loaded.stamp.exists);
  EXPECT_EQ(loaded.stamp.size, 10);
  EXPECT_EQ(loaded.stamp, StampOf(file));
  EXPECT_TRUE(LoadFile(file, 9).tooLarge);
  EXPECT_TRUE(LoadFile(file, 9).bytes.empty());

  // Changed behind our back: the stamped save leaves the newer file alone.
  ASSERT_EQ(SaveFileAtomically(file, "[a]\r\nb=2\r\n").outcome, Saved::Done);
  EXPECT_EQ(SaveFileAtomically(file, "lost", &loaded.stamp).outcome, Saved::Changed);
  const LoadedFile current = LoadFile(file, 100);
  EXPECT_EQ(current.bytes, "[a]\r\nb=2\r\n");
  EXPECT_EQ(SaveFileAtomically(file, "[a]\r\nb=3\r\n", &current.stamp).outcome, Saved::Done);
  EXPECT_EQ(LoadFile(file, 100).bytes, "[a]\r\nb=3\r\n");

  // A hidden file stays hidden; a read-only one stays as it was.
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(SaveFileAtomically(file, "hidden").outcome, Saved::Done);
  EXPECT_TRUE(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  const SaveResult readOnly = SaveFileAtomically(file, "changed");
  EXPECT_EQ(readOnly.outcome, Saved::Failed);
  EXPECT_EQ(readOnly.why, "it is read-only");
  EXPECT_EQ(LoadFile(file, 100).bytes, "hidden");

  ASSERT_TRUE(::CreateDirectoryW(Path(L"sub").c_str(), nullptr));
  EXPECT_EQ(LoadFile(Path(L"sub"), 100).kind, FileKind::Folder);
  EXPECT_EQ(SaveFileAtomically(Path(L"sub"), "x").why, "it is a folder");
  const SaveResult noFolder = SaveFileAtomically(Path(L"none\\x.ini"), "x");
  EXPECT_EQ(noFolder.outcome, Saved::Failed);
  EXPECT_EQ(noFolder.error, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(SystemMessage(noFolder.error).empty());
  EXPECT_EQ(LoadFile(L"NUL", 100).kind, FileKind::Other);
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(WinFiles, ReadersSeeTheOldOrTheNewFileThroughoutReplacements) {
  const std::wstring file = Path(L"settings.vhx");
  const std::string older(4096, 'o');
  const std::string newer(9000, 'n');
  ASSERT_EQ(SaveFileAtomically(file, older).outcome, Saved::Done);
  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, torn{0};
  std::thread reader([&] {
    while (!done) {
      const LoadedFile loaded = LoadFile(file, 1 << 20);
      if (loaded.kind != FileKind::Regular || loaded.error != 0 ||
          (loaded.bytes != older && loaded.bytes != newer))
        ++torn;
      ++reads;
      // Windows refuses to rename over a file that is open, so a reader
      // that never lets go would starve every save; ours let go at once.
      ::SwitchToThread();
    }
  });
  // A save that gave up waiting for the reader leaves the file it found.
  std::string last = older;
  int saved = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string& bytes = i % 2 ? older : newer;
    if (SaveFileAtomically(file, bytes).outcome == Saved::Done) {
      last = bytes;
      ++saved;
    }
  }
  done = true;
  reader.join();
  // Most saves find a moment between two reads; a broken rename would find none.
  EXPECT_GT(saved, 4);
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
  EXPECT_TRUE(LoadFile(file, 1 << 20).bytes == last);
  EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(WinFiles, LeftoversOfKilledSavesGoOnceTheyAreOld) {
  const std::wstring stale = Path(L".a.ini.0123456789abcdef.save-tmp");
  const std::wstring fresh = Path(L".a.ini.fedcba9876543210.save-tmp");
  const std::wstring foreign = Path(L".a.ini.save-tmp");
  for (const auto& path : {stale, fresh, foreign}) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    if (path != fresh) {
      FILETIME now{};
      ::GetSystemTimeAsFileTime(&now);
      ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
      t.QuadPart -= 120ULL * 10'000'000;
      const FILETIME old{t.LowPart, t.HighPart};
      ::SetFileTime(h, nullptr, nullptr, &old);
    }
    ::CloseHandle(h);
  }
  ASSERT_EQ(SaveFileAtomically(Path(L"a.ini"), "x").outcome, Saved::Done);
  EXPECT_EQ(::GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesW(fresh.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(::GetFileAttributesW(foreign.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WinFiles, LocksExcludeASecondHolder) {
  const std::wstring path = Path(L"varnholt.exe.lock");
  {
    FileLock first(path);
    ASSERT_TRUE(first.Held());
    EXPECT_FALSE(FileLock(path).Held());
    EXPECT_FALSE(FileLock(path, 50).Held());
  }
  EXPECT_TRUE(FileLock(path).Held());

  // The named lock, as two threads (a mutex lets its own thread in again).
  const std::wstring name = LockNameForPath(Path(L"Varnholt.ini"));
  EXPECT_EQ(name, LockNameForPath(Path(L"VARNHOLT.INI")));
  EXPECT_NE(name, LockNameForPath(Path(L"other.ini")));
  std::atomic<int> step{0};
  bool secondWhileHeld = true, secondAfter = false;
  std::thread other([&] {
    while (step != 1)
      std::this_thread::yield();
    secondWhileHeld = NamedLock(name, 50).Held();
    step = 2;
    secondAfter = NamedLock(name, 10000).Held();
  });
  {
    NamedLock first(name, 0);
    EXPECT_TRUE(first.Held());
    step = 1;
    while (step != 2)
      std::this_thread::yield();
  }
  other.join();
  EXPECT_FALSE(secondWhileHeld);
  EXPECT_TRUE(secondAfter);
}

}  // namespace
}  // namespace varnholt::win
