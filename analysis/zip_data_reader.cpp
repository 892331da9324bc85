// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/zip_data_reader.h"

#include <algorithm>

namespace cartonym {

ZipDataReader::ZipDataReader(const ReadableFile& file, const ZipData& data)
    : file_(file)
    , data_(data)
{
    data_.compressed = std::min(data.compressed, file.length() - std::min(data.offset, file.length()));
    if (data.method == 8) {
        inflating_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; // raw deflate, as zip stores it
        fault_ = inflating_ ? ArchiveFault::none : ArchiveFault::damaged;
    }
}

ZipDataReader::~ZipDataReader()
{
    if (inflating_)
        inflateEnd(&stream_);
}

std::size_t ZipDataReader::read(unsigned char* target, std::size_t count)
{
    if (ended_ || fault_ != ArchiveFault::none || count == 0)
        return 0;
    std::size_t done = 0;
    if (data_.method == 8) {
        done = inflate_into(target, count);
    } else {
        done = static_cast<std::size_t>(std::min<std::uint64_t>(count, data_.compressed - taken_));
        file_.read_at(data_.offset + taken_, target, done);
        taken_ += done;
        ended_ = taken_ == data_.compressed;
    }
    crc_ = static_cast<std::uint32_t>(crc32(crc_, target, static_cast<uInt>(done)));
    if (ended_)
        finish();
    return done;
}

std::size_t ZipDataReader::inflate_into(unsigned char* target, std::size_t count)
{
    stream_.next_out = target;
    stream_.avail_out = static_cast<uInt>(count);
    while (stream_.avail_out > 0 && !ended_) {
        if (stream_.avail_in == 0) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(input_.size(), data_.compressed - taken_));
            if (n == 0) {
                fault_ = ArchiveFault::damaged; // the stream breaks off within the entry
                break;
            }
            file_.read_at(data_.offset + taken_, input_.data(), n);
            taken_ += n;
            stream_.next_in = input_.data();
            stream_.avail_in = static_cast<uInt>(n);
        }
        const int status = inflate(&stream_, Z_NO_FLUSH);
        ended_ = status == Z_STREAM_END;
        if (status != Z_OK && status != Z_STREAM_END) {
            fault_ = ArchiveFault::damaged;
            break;
        }
    }
    return count - stream_.avail_out;
}

void ZipDataReader::finish()
{
    if (crc_ != data_.crc)
        fault_ = ArchiveFault::damaged;
}

} // namespace cartonym
