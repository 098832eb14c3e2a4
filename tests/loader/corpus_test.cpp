// The loader over GIF files that nobody here wrote, when the corpus is present
// beside the project. Where an independent decoder's indices stand beside a
// file, the delivered rows must equal them byte for byte.
#include <filesystem>
#include <map>

#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

namespace fs = std::filesystem;

fs::path corpus_dir() { return fs::path(KALU7_CORPUS_DIR); }

std::vector<fs::path> corpus_gifs() {
  std::vector<fs::path> gifs;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(corpus_dir(), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file() && it->path().extension() == ".gif") gifs.push_back(it->path());
  }
  std::sort(gifs.begin(), gifs.end());
  return gifs;
}

// The indices file that describes a GIF's delivered image, if any.
fs::path indexes_for(const fs::path &gif) {
  if (gif.filename() == "muybridge.gif") return gif.parent_path() / "muybridge-frame-014.indexes";
  fs::path p = gif;
  p.replace_extension(".indexes");
  return p;
}

class CorpusTest : public LoaderTest {
 protected:
  void SetUp() override {
    LoaderTest::SetUp();
    if (!fs::is_directory(corpus_dir())) GTEST_SKIP() << "no corpus at " << corpus_dir();
  }
};

TEST_F(CorpusTest, EveryFileLoadsOrIsRefusedCleanly) {
  const std::vector<fs::path> gifs = corpus_gifs();
  ASSERT_FALSE(gifs.empty());
  int loaded = 0;
  for (const fs::path &gif : gifs) {
    SCOPED_TRACE(gif.string());
    const host::LoadRecord r = load(gif.string());
    if (r.result == 0) {
      ++loaded;
      EXPECT_EQ(r.rows.size(), static_cast<size_t>(r.height));
      EXPECT_EQ(r.finish_code, 0);
    } else {
      EXPECT_EQ(r.result, 1);
      EXPECT_FALSE(r.sink_requested);
    }
  }
  EXPECT_GT(loaded, 0);
}

TEST_F(CorpusTest, RowsMatchIndependentlyDecodedIndices) {
  int compared = 0;
  for (const fs::path &gif : corpus_gifs()) {
    const fs::path indexes = indexes_for(gif);
    if (!fs::exists(indexes)) continue;
    SCOPED_TRACE(gif.string());
    const host::LoadRecord r = load(gif.string());
    ASSERT_EQ(r.result, 0);
    std::vector<uint8_t> delivered;
    for (const auto &row : r.rows) delivered.insert(delivered.end(), row.begin(), row.end());
    const std::vector<uint8_t> expected = gifwrite::read_file(indexes.string());
    EXPECT_EQ(delivered.size(), expected.size());
    EXPECT_TRUE(delivered == expected);
    ++compared;

    fs::path palette = gif;
    palette.replace_extension(".palette");
    if (fs::exists(palette)) {
      // 256 entries of blue, green, red, alpha.
      const std::vector<uint8_t> bgra = gifwrite::read_file(palette.string());
      ASSERT_EQ(bgra.size(), 1024u);
      for (size_t i = 0; i < r.palette.size(); ++i) {
        EXPECT_EQ(r.palette[i], (std::array<uint8_t, 3>{bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]})) << i;
      }
    }
  }
  EXPECT_GE(compared, 4);
}

TEST_F(CorpusTest, KnownFiles) {
  struct Known {
    const char *file;
    int result, width, height;
  };
  const Known known[] = {
      {"real/hippopotamus.interlaced.truncated.gif", 1, 0, 0},
      {"real/muybridge.gif", 0, 30, 20},
      {"artificial/zero-width-frame.gif", 0, 0, 0},  // 0 x 0, one byte of pixel data
      {"artificial/no-frames.gif", 0, 0, 0},
  };
  for (const Known &k : known) {
    const fs::path p = corpus_dir() / k.file;
    if (!fs::exists(p)) continue;
    const host::LoadRecord r = load(p.string());
    EXPECT_EQ(r.result, k.result) << k.file;
    if (k.result == 0) {
      EXPECT_EQ(r.width, k.width) << k.file;
      EXPECT_EQ(r.height, k.height) << k.file;
    }
  }
}

}  // namespace
}  // namespace kalu7::testing
