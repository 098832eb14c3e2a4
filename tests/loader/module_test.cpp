// The module's descriptor and server list, read the way a host reads them.
#include <cstring>

#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

TEST(ModuleDescriptor, HeaderWordsAndLayout) {
  const module_descriptor *d = module().descriptor();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->header_1, 0x04121994u);
  EXPECT_EQ(d->header_2, 3u);
  EXPECT_EQ(d->header_3, 0x300u);
  // Three 32-bit words, a four-byte gap, then three pointers.
  static_assert(offsetof(module_descriptor, make_token) == 16);
  static_assert(offsetof(module_descriptor, servers) == 32);
  static_assert(sizeof(server_record) == 4 * sizeof(void *));
  static_assert(offsetof(loader_request, result) == sizeof(void *));
  static_assert(offsetof(image_sink, set_palette_entry) == 6 * sizeof(void *));
}

TEST(ModuleDescriptor, ServerListHoldsOneImageLoaderAndEndsWithNulls) {
  const module_descriptor *d = module().descriptor();
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(host::count_servers(d), 1);
  const server_record &s = d->servers[0];
  EXPECT_STREQ(s.class_name, "ImageLoader");
  EXPECT_STREQ(s.server_name, "kalu7_gif");
  EXPECT_NE(s.activate, nullptr);
  EXPECT_EQ(s.aux_info, nullptr);
  const server_record &end = d->servers[1];
  EXPECT_EQ(end.class_name, nullptr);
  EXPECT_EQ(end.server_name, nullptr);
  EXPECT_EQ(end.activate, nullptr);
  EXPECT_EQ(end.aux_info, nullptr);
  EXPECT_EQ(module().find_server("ImageLoader", "other"), nullptr);
  EXPECT_EQ(module().find_server("ImageSaver", "kalu7_gif"), nullptr);
}

TEST(ModuleDescriptor, TokenIsFourAndReleaseDoesNothing) {
  const module_descriptor *d = module().descriptor();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(d->make_token()), 4u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(d->make_token()), 4u);
  // Any token, or one never issued, is accepted and changes nothing.
  d->drop_token(nullptr);
  d->drop_token(reinterpret_cast<void *>(uintptr_t{4}));
  d->drop_token(reinterpret_cast<void *>(uintptr_t{12345}));
  EXPECT_EQ(host::count_servers(d), 1);
}

class ActivationTest : public LoaderTest {};

TEST_F(ActivationTest, WorksTheSameWithOrWithoutTokens) {
  gifwrite::GifDescription gif;
  gif.screen_width = 2;
  gif.screen_height = 1;
  gif.global_map = gifwrite::grey_ramp(2);
  gif.frames.push_back(gifwrite::solid_frame(2, 1, 1));
  const std::string file = write("tiny.gif", gif);
  const host::LoadRecord first = load(file);
  const module_descriptor *d = module().descriptor();
  void *token = d->make_token();
  const host::LoadRecord second = load(file);
  d->drop_token(token);
  d->drop_token(token);
  const host::LoadRecord third = load(file);
  EXPECT_EQ(first.result, 0);
  EXPECT_EQ(first.transcript, second.transcript);
  EXPECT_EQ(first.transcript, third.transcript);
}

TEST(Activation, NullRequestIsIgnored) {
  EXPECT_EQ(gif_server().activate(7, nullptr, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace kalu7::testing
