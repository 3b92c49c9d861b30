// The RTC request number is built from the target's own ioctl encoding (MIPS
// puts the direction bits elsewhere than x86), so it must come from the
// target's <linux/rtc.h> and match the size of struct rtc_time.
#include <gtest/gtest.h>

#include <linux/rtc.h>
#include <sys/ioctl.h>

#include <cstdint>

TEST(TargetRtc, SetTimeRequestMatchesTheCpu) {
    const auto request = static_cast<std::uint32_t>(RTC_SET_TIME);
#if defined(__mips__)
    EXPECT_EQ(request, 0x8024700Au);
#elif defined(__x86_64__) || defined(__i386__) || defined(__aarch64__)
    EXPECT_EQ(request, 0x4024700Au);
#endif
    EXPECT_EQ(_IOC_SIZE(RTC_SET_TIME), sizeof(struct rtc_time));
    EXPECT_EQ(sizeof(struct rtc_time), 36u);
    EXPECT_EQ(_IOC_DIR(RTC_SET_TIME), static_cast<unsigned>(_IOC_WRITE));
    EXPECT_EQ(_IOC_TYPE(RTC_SET_TIME), static_cast<unsigned>('p'));
    EXPECT_EQ(_IOC_NR(RTC_SET_TIME), 0x0Au);
}

TEST(TargetRtc, ByteOrderIsTheOneBuiltFor) {
    // Both byte orders are built; a toolchain mix-up would pass every other
    // test on the wrong CPU.
    const std::uint32_t word = 0x01020304u;
    const auto *bytes = reinterpret_cast<const unsigned char *>(&word);
#if defined(__MIPSEB__)
    EXPECT_EQ(bytes[0], 0x01);
#elif defined(__MIPSEL__)
    EXPECT_EQ(bytes[0], 0x04);
#else
    EXPECT_EQ(bytes[0], __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 0x01 : 0x04);
#endif
}
