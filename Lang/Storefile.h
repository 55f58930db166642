#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lv {

// A record file: a signature (its bytes, no length, no terminator), a 32-bit record count,
// then records of [length = payload + 8][id][payload][back length = payload + 12], all
// integers 32-bit little-endian. The back length lets the file be walked backwards.
//
// Open() opens an existing file (read-write, or read-only when ReadOnly is set or writing is
// refused) or creates a new one with the signature and a count of 0 (never when ReadOnly is
// set); a file whose first bytes are not the signature leaves the store closed. Close()
// writes the count of a writable file. Records are appended only at the end. A damaged file
// never makes a reader read past its end or loop: a record whose length fields do not fit
// the file ends the walk (AtEnd). Not thread-safe.
class TStorefile {
public:
    TStorefile() = default;
    ~TStorefile();
    TStorefile(const TStorefile&) = delete;
    TStorefile& operator=(const TStorefile&) = delete;

    std::string Signature;
    std::string Filename;
    bool ReadOnly = false;

    // True when the store is open afterwards. A name without folder is taken in the current
    // directory; a new file's folders are created.
    bool Open();
    void Close();
    bool IsOpen() const;

    // Records as the count field says (at most what the file can hold).
    int Count() const;
    int Index() const { return m_index; }
    bool AtEnd() const;
    void Next();
    void Previous();
    void First();
    void Last();
    // Ignores an index outside 0 .. Count() - 1; walks from here, the first or the last
    // record, whichever is fewer steps.
    void GoTo(int index);

    // The current record's payload size; -1 at the end.
    int PayloadSize() const;
    // Copies min(size, payload) bytes (the whole payload for a negative size) into `data`
    // and returns the record's id; with advance the current record moves on. At the end:
    // empty data, id 0. ReadInteger takes up to 4 bytes; a shorter payload fills the low ones.
    std::int32_t ReadRecord(std::vector<std::uint8_t>& data, int size, bool advance);
    std::int32_t ReadString(std::string& text, bool advance);
    std::int32_t ReadInteger(std::int32_t& value, bool advance);

    // Only at the end of the file: appends and returns the new count; 0 (nothing written)
    // elsewhere. Throws lv::Error "Attempt to write a data while in ReadOnly mode" on a
    // read-only store.
    int AppendRecord(std::int32_t id, const std::vector<std::uint8_t>& data);
    int AppendString(std::int32_t id, const std::string& text);
    int AppendInteger(std::int32_t id, std::int32_t value);

    // Deletes the file, and creates it again empty when it was open. Throws the read-only
    // error when ReadOnly is set.
    void Clear();

private:
    bool readAt(std::int64_t offset, void* data, std::size_t size) const;
    // Whether a record starts at `offset` whose fields fit the file.
    bool recordAt(std::int64_t offset, std::uint32_t& length) const;

    std::FILE* m_file = nullptr;
    bool m_writable = false;
    std::int64_t m_first = 0; // offset of record 0
    std::int64_t m_pos = 0;   // offset of the current record
    std::int64_t m_end = 0;   // file size
    int m_index = 0;
    int m_count = 0;
};

} // namespace lv
