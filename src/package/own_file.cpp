#include "package/own_file.h"

#include <string>

#include "platform/system_info.h"
#include "support/text.h"

namespace hs::package {
namespace {

OwnFile::Read failed(std::u16string text, platform::SysError error = 0) {
  return support::failure(OwnFile::ReadFailure{std::move(text), error});
}

OwnFile::Read system_failure(platform::SysError error, platform::SystemInfo* info) {
  std::u16string text = info ? info->error_text(error) : std::u16string();
  if (text.empty()) text = support::ascii_to_utf16("System error " + std::to_string(error));
  return failed(std::move(text), error);
}

}  // namespace

platform::SysError OwnFile::open(platform::Files& files, const std::u16string& path) {
  auto opened = files.open(path, platform::OpenMode::kRead);
  if (!opened) return opened.error();
  auto size = (*opened)->size();
  if (!size) return size.error();
  file_ = std::move(*opened);
  path_ = path;
  size_ = *size;
  readable_ = true;
  return platform::err::kSuccess;
}

void OwnFile::adopt(std::unique_ptr<platform::File> file, std::uint64_t size, bool readable) {
  file_ = std::move(file);
  size_ = size;
  readable_ = readable;
}

OwnFile::Read OwnFile::read_at(std::uint64_t offset, std::int64_t size, platform::SystemInfo* info) {
  if (!file_) return failed(u"File not open");
  if (size < 0) return failed(support::ascii_to_utf16("Illegal block size " + std::to_string(size)));
  if (!readable_) return failed(u"Read access denied");
  const auto wanted = static_cast<std::uint64_t>(size);
  if (offset > size_ || wanted > size_ - offset) return failed(u"Read past end of file");

  auto before = file_->position();
  if (!before) return system_failure(before.error(), info);
  auto moved = file_->seek(offset);
  if (!moved) return system_failure(moved.error(), info);

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(wanted));
  std::size_t done = 0;
  platform::SysError error = 0;
  bool short_read = false;
  while (done < bytes.size()) {
    auto got = file_->read(bytes.data() + done, bytes.size() - done);
    if (!got) {
      error = got.error();
      break;
    }
    if (*got == 0) {
      short_read = true;
      break;
    }
    done += *got;
  }
  // The position is put back as it was; a failure to do so shows in the
  // next positioned read, which seeks first.
  (void)file_->seek(*before);
  if (error) return system_failure(error, info);
  if (short_read) return failed(u"Read past end of file");
  return bytes;
}

}  // namespace hs::package
