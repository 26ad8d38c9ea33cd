#include "tools/oxa-lib/Commands.h"

#include <array>

std::span<const TCommand> Commands()
{
  static constexpr std::array commands{
      TCommand{"version", "version [--json]", "print the program's version", &RunVersion},
      TCommand{"display", "display [--json]",
               "the display back end, screen size and depth, shared memory, and the faces the skin's fonts "
               "resolve to",
               &RunDisplay},
      TCommand{"drives", "drives [--options] [--json]",
               "the drive table: letter, kind, label, size, ready, host folder; with --options the scan's "
               "search options",
               &RunDrives},
      TCommand{"path", "path WINPATH [--json] | path --host HOSTPATH [--json]",
               "a Windows path's host path, or a host path's Windows name", &RunPath},
      TCommand{"reg", "reg get KEY VALUE | reg set KEY VALUE DATA [--type T] | reg list KEY",
               "read and write the registry of the machine in use", &RunReg},
      TCommand{"mpeg", "mpeg FILE [--json]",
               "bit rate, sample rate, frames sampled, duration and audio start of an MP3 file", &RunMpeg},
      TCommand{"fingerprint", "fingerprint FILE [--json]",
               "the 36-byte content fingerprint of a music file, in hex", &RunFingerprint},
      TCommand{"id3v1", "id3v1 FILE [--json]", "the ID3v1 tag at the end of a file", &RunId3v1},
      TCommand{"id3v2", "id3v2 FILE [--json]", "the ID3v2 tag of a file: header, status and every frame",
               &RunId3v2},
      TCommand{"tags", "tags FILE... [--json] | tags --set FIELD=VALUE ... FILE [--json]",
               "what the scan reads from music files (tags, bit rate, duration, fingerprint), or their tags "
               "changed",
               &RunTags},
      TCommand{
          "db",
          "db info|check|recover [--json] | db create --dir D [--force] [--json] | db import PATH... | db "
          "files "
          "[--json] | "
          "db groups TABLE [--json] | db hide PATH | db remove-under FOLDER   (each [--dir D])",
          "the library in a directory: stamp and table counts, a new empty library, a check, a crash's stamp "
          "closed when the check passes (else rebuilt with the favorites); music "
          "merged in from folders, its files and groups, hiding and removing files",
          &RunDb},
      TCommand{
          "list", "list [VIEW [GROUP [FILE]]] [--dir LIB] [--json]",
          "the library's tree as the browser shows it: the views, a view's groups with their track counts, "
          "a group's tracks in order",
          &RunList},
      TCommand{"fav",
               "fav new NAME | add LIST FILE... | move LIST FROM TO | remove LIST [INDEX...] | delete LIST | "
               "rename LIST NAME | show LIST [--json]   (each [--dir LIB])",
               "the favorite lists, changed as the program changes them (their files under Favorites\\ "
               "included); LIST is a list's name or id, INDEX an entry's position from 1",
               &RunFav},
      TCommand{"walk", "walk ROOT [--files] [--json] | walk --update [--files] [--json]",
               "the full walk of a drive or folder (roots, cuts, music files found), or the update walk of "
               "the stored roots",
               &RunWalk},
      TCommand{"scan", "scan full|update [--dir LIB] [--json] | scan drop PATH... [--dir LIB] [--json]",
               "the program's scans: every selected drive in full (the fixed disks while none is selected), "
               "the stored roots again, or dropped files and folders; the result merged into the library. "
               "Ctrl+C stops; a stopped full or update scan saves nothing",
               &RunScan},
      TCommand{"settings",
               "settings [--file F] | settings get KEY | settings set KEY [LINE...] | settings dump FILE",
               "the settings file's keys and lines (of the library directory in use, or --file), or any "
               "string-list file",
               &RunSettings},
      TCommand{"heap", "heap NAME [--json]",
               "a shared heap held by another process, read-only: size, use, free nodes and its damage "
               "report",
               &RunHeap},
      TCommand{
          "bus",
          "bus show [--group G] [--json] | bus register CLIENTS APPLICATIONS [NAME=VALUE...] | bus launch "
          "CLIENT [--timeout MS] | bus notify|call CLIENT NAME [--text T | --hex H] [--timeout MS] | bus "
          "prop "
          "get|set CLIENT PROPERTY [--hex H] | bus watch [--count N] [--timeout MS]",
          "the inter-process bus of a group (default VantelPC): joins briefly to show its head, members, "
          "clients, names and damage report; records which application serves clients; starts one; "
          "notifies, calls and reads or sets properties of a client through a temporary one; watches all "
          "traffic as the debug client",
          &RunBus},
      TCommand{"play", "play FILE | play VIEW GROUP FILE [--seek S] [--dir LIB] [--json]",
               "a music file or a library item played to its end, with the position and every state "
               "change; OXA_AUDIO=null plays silently",
               &RunPlay},
      TCommand{
          "skin",
          "skin list [--store S] [--json] | skin show NAME --png FILE | skin sheet FILE.png | skin cursors "
          "FILE.png",
          "the compiled skin: its stores' images, one as PNG, the contact sheet of them all, the cursors",
          &RunSkin},
  };
  return commands;
}
