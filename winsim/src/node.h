// Files and directories on a simulated NTFS volume.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "content.h"

namespace winsim::detail {

struct Stream {
    std::u16string name;  // as created; empty for the unnamed data stream
    Content data;
    // What the medium holds while writes are only in the cache: set by the
    // first write after the last flush (FlushFileBuffers), the content as it
    // was then. A device pulled out (PullOutDevice) keeps only this.
    std::optional<Content> onMedium;
    // Before any change to data: remember what the medium holds.
    void WillChange()
    {
        if (!onMedium)
            onMedium = data;
    }
};

struct Node {
    std::u16string name;       // empty for a volume root
    std::u16string shortName;  // 8.3 alias, empty when none
    bool directory = false;
    DWORD attributes = 0;      // without FILE_ATTRIBUTE_DIRECTORY; see EffectiveAttributes
    FILETIME created{}, accessed{}, written{};
    bool denyAccess = false;
    // A reparse point (FILE_ATTRIBUTE_REPARSE_POINT): a junction or directory
    // symbolic link on a directory, a symbolic link on a file. Path walks
    // follow a directory link to its target, as NTFS does; the link itself is
    // what RemoveDirectoryW and FindFirstFileW on its parent see.
    DWORD reparseTag = 0;
    std::u16string reparseTarget;  // absolute local path
    Node* parent = nullptr;    // null for a volume root
    // Directory entries by upper-case name. NTFS returns a directory's entries in
    // this (upcased binary) order.
    std::map<std::u16string, std::shared_ptr<Node>> children;
    // The unnamed data stream of a file (a directory has none).
    std::shared_ptr<Stream> data;
    // Named data streams, in creation order, for files and directories alike.
    std::vector<std::shared_ptr<Stream>> named;

    std::shared_ptr<Stream> FindNamed(std::u16string_view name) const;
    // One of several names (dir, upper-case key) is gone from its directory:
    // the count drops, and the first name moves to another when it was that one.
    void ForgetName(const Node* dir, const std::u16string& key);
    // What GetFileAttributesW reports: FILE_ATTRIBUTE_NORMAL alone for a file
    // without other attributes, the directory bit for a directory.
    DWORD EffectiveAttributes() const;
    // How many names (hard links) the file has: GetFileInformationByHandle.
    // The first is name in parent; the others are here, as (directory, name).
    // Every name is an entry of its directory that leads to this one node: the
    // data and the streams belong to the file, not to a name.
    DWORD links = 1;
    std::vector<std::pair<Node*, std::u16string>> otherNames;
    // The full local path, for messages and the call log.
    std::u16string Path(WCHAR driveLetter) const;

    // The streams of the backup format that are no data streams (BackupRead).
    // The security descriptor and the reparse data come from the entry itself.
    std::uint64_t eaSize = 0;  // BACKUP_EA_DATA body; 0: no extended attributes
    // A sparse file's allocated ranges of its unnamed data stream (offset,
    // length): the backup format gives one SPARSE_BLOCK stream for each.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> allocatedRanges;
    bool hasObjectId = false;  // BACKUP_OBJECT_ID, 64 bytes
    struct BackupExtra {
        DWORD id;
        DWORD attributes;
        std::vector<std::uint8_t> name;  // the bytes that follow the header
        DWORD nameBytes;                 // the name length the header announces
        std::uint64_t size;              // the body: a pattern, never materialised
    };
    // Further streams of any identifier, reported after all the others.
    std::vector<BackupExtra> backupExtras;
};

}  // namespace winsim::detail
