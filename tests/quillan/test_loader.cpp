// The launcher binds the library by file name at run time: both entry points must be found
// by name, and nothing else of ours may be visible.
#include "fixture.h"
#include "quillan.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using SetCallBack = int(QUILLAN_CALL*)(RV_CallBack, RV_CallBack, RV_CallBack);
using Convert = int(QUILLAN_CALL*)(const char*, int, const char*, double, double);

TEST(QuillanLoader, FindsBothExportsAndConvertsBeforeAndAfterCallbacks)
{
    void* lib = ::dlopen(QUILLAN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    EXPECT_STREQ(QUILLAN_LIBRARY_NAME, "libquillan.so");
    const auto setCallBack = reinterpret_cast<SetCallBack>(::dlsym(lib, "RV_SetCallBack"));
    const auto convert = reinterpret_cast<Convert>(::dlsym(lib, "quillanourCnv"));
    ASSERT_NE(setCallBack, nullptr);
    ASSERT_NE(convert, nullptr);
    EXPECT_EQ(::dlsym(lib, "_ZN7quillan9thinImageEPhmRiRNS_7WorkersE"), nullptr);
    EXPECT_EQ(::dlsym(lib, "msgProgress"), nullptr);

    testutil::TempDir dir;
    qtest::WorkBitmap b(40, 30);
    for (int x = 10; x <= 30; ++x)
        b.set(x, 20);
    const std::string src = dir.file("a.TMP");
    const std::string out = dir.file("a.RVL");

    // Before any callback is registered the conversion runs and reports nothing.
    testutil::writeBytes(src, b.bytes());
    qtest::recordedMessages().clear();
    EXPECT_EQ(convert(src.c_str(), 0, out.c_str(), 1.4143, -1.0), 1);
    EXPECT_EQ(testutil::readBytes(out), "PS\r\n10 20\r\n30 20\r\nPE\r\n");

    testutil::writeBytes(src, b.bytes());
    EXPECT_EQ(setCallBack(qtest::recordMessage, nullptr, nullptr), 1);
    EXPECT_EQ(convert(src.c_str(), 0, out.c_str(), 1.4143, -1.0), 1);
    // Progress only: the thinning slot is empty.
    ASSERT_EQ(qtest::recordedMessages().size(), 5u);
    EXPECT_EQ(qtest::recordedMessages()[1], "3 -  細線化終了処理");
    EXPECT_EQ(setCallBack(nullptr, nullptr, nullptr), 1);
    ::dlclose(lib);
}

} // namespace
