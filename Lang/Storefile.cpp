#include "Lang/Storefile.h"

#include "platform/Errors.h"
#include "platform/RegularFile.h"
#include "platform/RiffIO.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace lv {

namespace {

constexpr std::int64_t kHeadSize = 8; // length and id in front of the payload
constexpr std::int64_t kMinRecord = 12;

void putLE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

} // namespace

TStorefile::~TStorefile() {
    Close();
}

bool TStorefile::Open() {
    Close();
    if (Filename.empty())
        return false;
    if (!fs::u8path(Filename).has_parent_path()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        if (!ec)
            Filename = (cwd / fs::u8path(Filename)).string();
    }
    const fs::path path = fs::u8path(Filename);
    std::error_code ec;
    const bool exists = fs::exists(path, ec);

    if (!exists) {
        // A read-only store reads what is there; it does not leave an empty file behind.
        if (ReadOnly)
            return false;
        if (path.has_parent_path())
            fs::create_directories(path.parent_path(), ec);
        m_file = std::fopen(Filename.c_str(), "w+b");
        if (!m_file)
            return false;
        m_writable = true;
        std::vector<std::uint8_t> head(Signature.begin(), Signature.end());
        head.resize(head.size() + 4, 0);
        if (std::fwrite(head.data(), 1, head.size(), m_file) != head.size()) {
            std::fclose(m_file);
            m_file = nullptr;
            return false;
        }
        m_first = m_pos = m_end = std::int64_t(head.size());
        m_index = m_count = 0;
        return true;
    }

    m_writable = false;
    if (!NoneOrRegularFile(Filename))
        return false; // a pipe would block the open or the reads
    if (!ReadOnly) {
        m_file = std::fopen(Filename.c_str(), "r+b");
        m_writable = m_file != nullptr;
    }
    if (!m_file) {
        std::string why;
        m_file = OpenRegularFileStream(Filename, why);
    }
    if (!m_file)
        return false;
    if (fseeko(m_file, 0, SEEK_END) != 0 || (m_end = ftello(m_file)) < 0) {
        Close();
        return false;
    }
    m_first = std::int64_t(Signature.size()) + 4;
    std::vector<char> sig(Signature.size());
    std::uint8_t count[4];
    if (!readAt(0, sig.data(), sig.size()) ||
        (!sig.empty() && std::memcmp(sig.data(), Signature.data(), sig.size()) != 0) ||
        !readAt(std::int64_t(Signature.size()), count, 4)) {
        // Not ours: nothing may be written into it, the count neither.
        m_writable = false;
        Close();
        return false;
    }
    // A count beyond what the bytes can hold would make GoTo and the readers believe in
    // records that are not there.
    const std::int64_t fits = (m_end - m_first) / kMinRecord;
    m_count = int(std::clamp<std::int64_t>(std::int32_t(getLE32(count)), 0, fits));
    m_pos = m_first;
    m_index = 0;
    return true;
}

void TStorefile::Close() {
    if (!m_file)
        return;
    if (m_writable) {
        std::uint8_t count[4];
        putLE32(count, std::uint32_t(m_count));
        if (fseeko(m_file, off_t(Signature.size()), SEEK_SET) == 0)
            std::fwrite(count, 1, 4, m_file);
    }
    std::fclose(m_file);
    m_file = nullptr;
    m_writable = false;
    m_first = m_pos = m_end = 0;
    m_index = m_count = 0;
}

bool TStorefile::IsOpen() const {
    return m_file != nullptr;
}

int TStorefile::Count() const {
    return m_count;
}

bool TStorefile::AtEnd() const {
    std::uint32_t length;
    return !m_file || m_pos >= m_end || !recordAt(m_pos, length);
}

void TStorefile::Next() {
    std::uint32_t length;
    if (!m_file || !recordAt(m_pos, length))
        return;
    m_pos += std::int64_t(length) + 4;
    ++m_index;
}

void TStorefile::Previous() {
    if (!m_file || m_index <= 0 || m_pos - kMinRecord < m_first)
        return;
    std::uint8_t raw[4];
    if (!readAt(m_pos - 4, raw, 4))
        return;
    const std::int64_t back = getLE32(raw);
    std::uint32_t length;
    // The record behind must lead exactly here, or the back length lies.
    if (back < kMinRecord || m_pos - back < m_first || !recordAt(m_pos - back, length) ||
        std::int64_t(length) + 4 != back)
        return;
    m_pos -= back;
    --m_index;
}

void TStorefile::First() {
    if (!m_file)
        return;
    m_pos = m_first;
    m_index = 0;
}

void TStorefile::Last() {
    if (!m_file)
        return;
    if (m_count == 0) {
        First();
        return;
    }
    m_pos = m_end;
    m_index = m_count;
    Previous();
    if (m_index != m_count)
        return;
    // The last back length lies: walk forwards instead, as far as the records allow.
    First();
    while (m_index < m_count - 1) {
        const int before = m_index;
        Next();
        if (m_index == before)
            return;
    }
}

void TStorefile::GoTo(int index) {
    if (!m_file || index < 0 || index >= m_count || index == m_index)
        return;
    const int fromHere = std::abs(index - m_index);
    const int fromFirst = index;
    const int fromLast = m_count - 1 - index;
    if (fromFirst < fromHere && fromFirst <= fromLast) {
        First();
    } else if (fromLast < fromHere) {
        Last();
    }
    // A damaged record stops the walk where it is.
    while (m_index != index) {
        const int before = m_index;
        if (m_index < index)
            Next();
        else
            Previous();
        if (m_index == before)
            return;
    }
}

int TStorefile::PayloadSize() const {
    std::uint32_t length;
    if (!m_file || !recordAt(m_pos, length))
        return -1;
    return int(length - kHeadSize);
}

std::int32_t TStorefile::ReadRecord(std::vector<std::uint8_t>& data, int size, bool advance) {
    data.clear();
    std::uint32_t length;
    if (!m_file || !recordAt(m_pos, length))
        return 0;
    std::uint8_t raw[4];
    if (!readAt(m_pos + 4, raw, 4))
        return 0;
    const auto id = std::int32_t(getLE32(raw));
    const std::int64_t payload = std::int64_t(length) - kHeadSize;
    const std::int64_t take = size < 0 ? payload : std::min<std::int64_t>(size, payload);
    data.resize(std::size_t(take));
    if (take > 0 && !readAt(m_pos + kHeadSize, data.data(), data.size())) {
        data.clear();
        return 0;
    }
    if (advance)
        Next();
    return id;
}

std::int32_t TStorefile::ReadString(std::string& text, bool advance) {
    std::vector<std::uint8_t> data;
    const std::int32_t id = ReadRecord(data, -1, advance);
    text.assign(data.begin(), data.end());
    return id;
}

std::int32_t TStorefile::ReadInteger(std::int32_t& value, bool advance) {
    std::vector<std::uint8_t> data;
    const std::int32_t id = ReadRecord(data, 4, advance);
    // A shorter payload (the two-byte language id of old packs) fills the low bytes.
    std::uint8_t raw[4] = {0, 0, 0, 0};
    std::copy(data.begin(), data.end(), raw);
    value = std::int32_t(getLE32(raw));
    return id;
}

int TStorefile::AppendRecord(std::int32_t id, const std::vector<std::uint8_t>& data) {
    if (ReadOnly || (m_file && !m_writable))
        throw Error("Attempt to write a data while in ReadOnly mode");
    if (!m_file || m_pos != m_end)
        return 0;
    if (data.size() > std::size_t(INT32_MAX - kMinRecord) || m_count == INT_MAX)
        throw Error("Record too large for " + Filename);
    const auto payload = std::uint32_t(data.size());
    std::vector<std::uint8_t> record(data.size() + kMinRecord);
    putLE32(record.data(), payload + 8);
    putLE32(record.data() + 4, std::uint32_t(id));
    std::copy(data.begin(), data.end(), record.begin() + kHeadSize);
    putLE32(record.data() + kHeadSize + payload, payload + 12);
    if (fseeko(m_file, off_t(m_end), SEEK_SET) != 0 ||
        std::fwrite(record.data(), 1, record.size(), m_file) != record.size() ||
        std::fflush(m_file) != 0)
        throw Error("Could not write to " + Filename);
    m_end += std::int64_t(record.size());
    m_pos = m_end;
    ++m_count;
    m_index = m_count;
    return m_count;
}

int TStorefile::AppendString(std::int32_t id, const std::string& text) {
    return AppendRecord(id, std::vector<std::uint8_t>(text.begin(), text.end()));
}

int TStorefile::AppendInteger(std::int32_t id, std::int32_t value) {
    std::vector<std::uint8_t> data(4);
    putLE32(data.data(), std::uint32_t(value));
    return AppendRecord(id, data);
}

void TStorefile::Clear() {
    if (ReadOnly)
        throw Error("Attempt to write a data while in ReadOnly mode");
    const bool wasOpen = IsOpen();
    m_writable = false; // the file goes: no count to keep
    Close();
    std::error_code ec;
    fs::remove(fs::u8path(Filename), ec);
    if (wasOpen)
        Open();
}

bool TStorefile::readAt(std::int64_t offset, void* data, std::size_t size) const {
    if (!m_file || offset < 0 || offset + std::int64_t(size) > m_end)
        return false;
    if (size == 0)
        return true;
    return fseeko(m_file, off_t(offset), SEEK_SET) == 0 &&
           std::fread(data, 1, size, m_file) == size;
}

bool TStorefile::recordAt(std::int64_t offset, std::uint32_t& length) const {
    std::uint8_t raw[4];
    if (offset < m_first || !readAt(offset, raw, 4))
        return false;
    length = getLE32(raw);
    if (length < kHeadSize || offset + 4 + std::int64_t(length) > m_end)
        return false;
    if (!readAt(offset + std::int64_t(length), raw, 4))
        return false;
    return getLE32(raw) == std::uint64_t(length) + 4;
}

} // namespace lv
