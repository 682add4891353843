#pragma once
// Whether a browser runs on a profile, and keeping it from starting there
// while we change the profile's stores: a profile in use is never written.
//
// Firefox, while it runs, holds a POSIX write lock on `.parentlock` in the
// profile folder and keeps a link `lock` -> "ADDRESS:+PID" there; it leaves
// the link behind when it ends, so a link whose process is gone is stale.
// We take the same POSIX lock for as long as we write, so a Firefox started
// meanwhile finds the profile in use.
// Chromium keeps a link `SingletonLock` -> "HOST-PID" in its user-data
// folder (the profile folder's parent). A link naming another host counts as
// in use; one naming this host and a process that is gone is stale. With no
// link at all we place our own for as long as we write (a Chromium that
// starts meanwhile may still take over a link whose process is not one of
// its own; the store's SQLite locks then keep the transaction whole).
#include <string>

#include "platform/browser_profiles.h"

namespace quillo {

class ProfileWriteLock {
public:
    ProfileWriteLock() = default;
    ~ProfileWriteLock() { Release(); }
    ProfileWriteLock(const ProfileWriteLock&) = delete;
    ProfileWriteLock& operator=(const ProfileWriteLock&) = delete;

    // Takes `profile` for writing; false, holding nothing, while its browser
    // runs (or when its lock cannot be read or taken).
    bool Take(const BrowserProfile& profile);
    void Release();

private:
    int parentLock_ = -1;   // Firefox: our descriptor holding .parentlock
    std::string ownLink_;   // Chromium: the SingletonLock we placed
    std::string ownTarget_;
};

}  // namespace quillo
