#include "CFTestHelpers.h"

namespace
{

int finalized = 0;

struct Probe : cf::Object
{
    inline static const CFTypeID kType = cf::registerType("Probe");
    static CFTypeID staticTypeID() { return kType; }
    explicit Probe(int key) : cf::Object(staticTypeID()), key(key) {}
    ~Probe() override { ++finalized; }
    bool equals(const cf::Object& other) const override
    {
        return key == static_cast<const Probe&>(other).key;
    }
    CFHashCode hash() const override { return static_cast<CFHashCode>(key); }
    const int key;
};

TEST(Object, LastReleaseFinalizesARegisteredKindButNeverAConstantAndNullIsRefusedQuietly)
{
    finalized = 0;
    CFTypeRef probe = cf::toRef(new Probe(1));
    EXPECT_EQ(CFRetain(probe), probe);
    EXPECT_EQ(CFGetRetainCount(probe), 2);
    CFRelease(probe);
    EXPECT_EQ(finalized, 0);
    CFRelease(probe);
    EXPECT_EQ(finalized, 1);
    for (CFTypeRef constant : {CFTypeRef(CFSTR("VendorID")), CFTypeRef(kCFBooleanTrue), CFTypeRef(nullptr)})
        for (int i = 0; i < 3; ++i)
            CFRelease(constant);
    EXPECT_EQ(CFStringGetLength(CFSTR("VendorID")), 8);
    const auto vendorID = [] { return CFSTR("VendorID"); };
    EXPECT_EQ(vendorID(), vendorID());
    EXPECT_EQ(vendorID(), CFSTR("VendorID"));
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    EXPECT_EQ(CFGetTypeID(nullptr), 0u);
    EXPECT_EQ(CFCopyDescription(nullptr), nullptr);
    EXPECT_EQ(CFStringGetLength(nullptr), 0);
    EXPECT_EQ(CFArrayGetCount(nullptr), 0);
}

TEST(Object, EqualityNeedsTheSameKindAndValueAndDescriptionNamesTheKind)
{
    cf::Owned<> one(cf::toRef(new Probe(7))), same(cf::toRef(new Probe(7))), other(cf::toRef(new Probe(8)));
    auto seven = cftest::number(7);
    EXPECT_TRUE(CFEqual(one.get(), same.get()));
    EXPECT_EQ(CFHash(one.get()), CFHash(same.get()));
    EXPECT_FALSE(CFEqual(one.get(), other.get()));
    EXPECT_FALSE(CFEqual(one.get(), seven.get()));
    EXPECT_FALSE(CFEqual(one.get(), nullptr));
    EXPECT_EQ(cf::as<Probe>(seven.get()), nullptr);
    EXPECT_NE(Probe::staticTypeID(), CFStringGetTypeID());
    EXPECT_EQ(cftest::text(cf::Owned<CFStringRef>(CFCopyDescription(one.get())).get()).rfind("<Probe 0x", 0),
              0u);
    EXPECT_EQ(cftest::text(cf::Owned<CFStringRef>(CFCopyTypeIDDescription(CFArrayGetTypeID())).get()),
              "CFArray");
}

} // namespace
