// The exclusive right to use one temp.bmp, held across processes for a whole run.
#pragma once

#include <string>

// The message of a run that finds another run using its temp.bmp.
constexpr char kTempBmpBusy[] = "another run is using temp.bmp";

// Every run that composes through a temp.bmp holds this lock on the folder that file lives in,
// from before its first file until after it has deleted the file, so two runs (two runners,
// the window and a runner, or two windows) never write each other's pictures into it. The lock
// is the operating system's: it ends with the holder's process, also when that is killed.
class TempBmpLock {
public:
    explicit TempBmpLock(const std::string& tempBmpPath);
    ~TempBmpLock();  // releases the lock
    TempBmpLock(const TempBmpLock&) = delete;
    TempBmpLock& operator=(const TempBmpLock&) = delete;

    // Takes the lock when no other holder has it; answers whether this object holds it now.
    // A folder that cannot be locked at all (it does not exist, or the file system has no
    // locks) counts as taken: the run then meets the folder's own failures.
    bool TryAcquire();
    // Waits until the lock is free, then takes it.
    void Acquire();
    bool IsHeld() const { return m_Held; }

private:
    bool Lock(bool wait);

    std::string m_Folder;
    int m_Fd = -1;
    bool m_Held = false;
};
