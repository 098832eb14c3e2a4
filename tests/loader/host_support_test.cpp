// The host side's own checks of a module file, against broken modules.
#include "tests/loader/loader_fixture.h"

namespace kalu7::testing {
namespace {

struct BrokenModule {
  const char *path;
  const char *reason;
};

TEST(ModuleHandle, RefusesBrokenModulesWithOneLineReason) {
  const BrokenModule cases[] = {
      {"/nonexistent/kalu7_gifload_64.p", "cannot load module"},
      {KALU7_FAKE_NO_DESCRIPTOR, "has no _mod_descrip descriptor"},
      {KALU7_FAKE_WRONG_HEADER, "wrong header words"},
  };
  for (const BrokenModule &c : cases) {
    host::ModuleHandle h;
    EXPECT_FALSE(h.open(c.path)) << c.path;
    EXPECT_FALSE(h.is_open());
    EXPECT_NE(h.error().find(c.reason), std::string::npos) << h.error();
    EXPECT_EQ(h.error().find('\n'), std::string::npos);
  }
}

TEST(ModuleHandle, OpensTheRealModuleAgainAfterClosing) {
  host::ModuleHandle h;
  ASSERT_TRUE(h.open(KALU7_MODULE_PATH)) << h.error();
  EXPECT_NE(h.find_server("ImageLoader", "kalu7_gif"), nullptr);
  h.close();
  EXPECT_FALSE(h.is_open());
  ASSERT_TRUE(h.open(KALU7_MODULE_PATH)) << h.error();
}

}  // namespace
}  // namespace kalu7::testing
