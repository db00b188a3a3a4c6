// The zip stream read back by Python's zipfile, an independent reader that
// checks every CRC: its plain forms, and its ZIP64 forms reached with a
// lowered limit instead of gigabytes of data.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "xls/zip_stream.h"
#include "xls_test_util.h"

namespace lotvue {
namespace {

using lotvue_xlsx::ZipStream;

// One line per entry, "name size size-as-stated zip64-extra" (reading an
// entry checks its CRC), and a last line telling whether the archive has a
// ZIP64 end record.
std::string ZipListing(const std::string& path) {
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "for i in z.infolist():\n"
      "    data = z.read(i)\n"
      "    print(i.filename, len(data), i.file_size == len(data), b'\\x01\\x00' == i.extra[:2])\n"
      "print('zip64-end', b'PK\\x06\\x06' in open(sys.argv[1], 'rb').read()[-200:])\n";
  const std::string file = path + ".py";
  if (FILE* f = std::fopen(file.c_str(), "w")) {
    std::fputs(script.c_str(), f);
    std::fclose(f);
  }
  std::string out;
  FILE* pipe = popen((std::string(LOTVUE_PYTHON) + " '" + file + "' '" + path + "' 2>&1").c_str(), "r");
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
  if (pipe) pclose(pipe);
  return out;
}

TEST(ZipStream, EntriesReadBackWithAndWithoutZip64Forms) {
  // 2.5 MB that deflate cannot shrink much (three chunks of the workers), so that the compressed
  // size passes the lowered limit as well.
  std::string noise(2500000, '\0');
  unsigned x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  const struct {
    std::uint64_t limit;
    const char* expected;
  } cases[] = {
      {ZipStream::kZip32Limit, "empty 0 True False\nsmall 5 True False\nnoise 2500000 True False\nzip64-end False\n"},
      // Above 1000 bytes: the big entry's sizes, the offsets after it and the central directory.
      {1000, "empty 0 True False\nsmall 5 True False\nnoise 2500000 True True\nzip64-end True\n"},
      {0, "empty 0 True True\nsmall 5 True True\nnoise 2500000 True True\nzip64-end True\n"},
  };
  const std::filesystem::path folder = xls_test::TestFolder();
  for (const auto& c : cases) {
    const std::string path = folder / "a.zip";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ZipStream zip(fd, 1, c.limit);
    EXPECT_TRUE(zip.BeginEntry("empty"));
    EXPECT_TRUE(zip.BeginEntry("small") && zip.Write("hello", 5) && zip.EndEntry());
    EXPECT_TRUE(zip.BeginEntry("noise") && zip.Write(noise.data(), noise.size()));
    EXPECT_TRUE(zip.Finish());
    ::close(fd);
    EXPECT_EQ(ZipListing(path), c.expected) << c.limit;
  }
}

TEST(ZipStream, WriteFailureIsKept) {
  const int fd = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  ZipStream zip(fd);
  zip.BeginEntry("a");
  zip.Write("x", 1);
  EXPECT_FALSE(zip.Finish());
  EXPECT_EQ(zip.error(), ENOSPC);
  ::close(fd);
}

}  // namespace
}  // namespace lotvue
