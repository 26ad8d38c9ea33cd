#pragma once
// TObjectProbe: asks, as often as needed, whether a named kernel object (Synchronization.h,
// FileMappings.h) exists, without ever holding it, so the asking never keeps the object of a
// dead holder alive.
//
// The first look goes through the namespace the way OpenMutexA does. Once the object was found
// held, its file and the namespace's lock file stay open (neither of them locked between looks),
// and each later look costs a few flock calls instead of a path walk, an open, a mapping and the
// closing that follows. Every look runs under the namespace lock, so it never races with a
// process that creates, opens or closes the object.

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/files/FileDescriptor.h"

class TObjectProbe {
 public:
  explicit TObjectProbe(std::string_view name);

  // False only when no process holds an object of that name; a dead holders' leftover file is
  // taken away then, as OpenMutexA takes it away. True when one does, and when it cannot be
  // told (the last error then says why).
  bool Exists();

  TObjectProbe(const TObjectProbe&) = delete;
  TObjectProbe& operator=(const TObjectProbe&) = delete;

 private:
  bool LockNamespace();
  void UnlockNamespace();
  bool LookThroughNamespace();

  std::string FName;
  std::filesystem::path FFolder;
  TFileDescriptor FNamespace;  // the namespace's lock file
  TFileDescriptor FObject;     // the object's file as last found held
};
