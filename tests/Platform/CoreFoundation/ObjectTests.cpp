#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

namespace
{

int finalized = 0;

class Probe : public cf::Object
{
public:
    static CFTypeID staticTypeID()
    {
        static const CFTypeID id = cf::registerType("Probe");
        return id;
    }
    explicit Probe(int value) : cf::Object(staticTypeID()), m_value(value) {}
    ~Probe() override { ++finalized; }
    bool equals(const cf::Object& other) const override
    {
        return m_value == static_cast<const Probe&>(other).m_value;
    }
    CFHashCode hash() const override { return static_cast<CFHashCode>(m_value); }

private:
    int m_value;
};

TEST(Object, LastReleaseFinalizesARegisteredKind)
{
    finalized = 0;
    CFTypeRef probe = cf::toRef(new Probe(1));
    EXPECT_EQ(CFGetTypeID(probe), Probe::staticTypeID());
    EXPECT_NE(Probe::staticTypeID(), CFStringGetTypeID());
    EXPECT_EQ(CFRetain(probe), probe);
    EXPECT_EQ(CFGetRetainCount(probe), 2);
    CFRelease(probe);
    EXPECT_EQ(finalized, 0);
    CFRelease(probe);
    EXPECT_EQ(finalized, 1);
}

TEST(Object, EqualityNeedsTheSameKindAndValue)
{
    cf::Owned<> one(cf::toRef(new Probe(7)));
    cf::Owned<> same(cf::toRef(new Probe(7)));
    cf::Owned<> other(cf::toRef(new Probe(8)));
    int seven = 7;
    cf::Owned<> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &seven));
    EXPECT_TRUE(CFEqual(one.get(), same.get()));
    EXPECT_EQ(CFHash(one.get()), CFHash(same.get()));
    EXPECT_FALSE(CFEqual(one.get(), other.get()));
    EXPECT_FALSE(CFEqual(one.get(), number.get()));
    EXPECT_FALSE(CFEqual(one.get(), nullptr));
    EXPECT_EQ(cf::as<Probe>(number.get()), nullptr);
    EXPECT_NE(cf::as<Probe>(one.get()), nullptr);
}

TEST(Object, DescriptionNamesTheKind)
{
    cf::Owned<> probe(cf::toRef(new Probe(1)));
    cf::Owned<CFStringRef> description(CFCopyDescription(probe.get()));
    EXPECT_EQ(
        std::string(CFStringGetCStringPtr(description.get(), kCFStringEncodingUTF8)).rfind("<Probe 0x", 0),
        0u);
    cf::Owned<CFStringRef> name(CFCopyTypeIDDescription(CFArrayGetTypeID()));
    EXPECT_STREQ(CFStringGetCStringPtr(name.get(), kCFStringEncodingUTF8), "CFArray");
}

TEST(Object, ConstantsIgnoreRetainAndRelease)
{
    CFStringRef constant = CFSTR("VendorID");
    EXPECT_EQ(constant, CFSTR("VendorID"));
    for (int i = 0; i < 3; ++i)
        CFRelease(constant);
    CFRelease(kCFBooleanTrue);
    EXPECT_EQ(CFStringGetLength(constant), 8);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_NE(CFBooleanGetTypeID(), CFNumberGetTypeID());
}

TEST(Object, NullIsRefusedQuietly)
{
    CFRelease(nullptr);
    EXPECT_EQ(CFRetain(nullptr), nullptr);
    EXPECT_EQ(CFGetTypeID(nullptr), 0u);
    EXPECT_EQ(CFCopyDescription(nullptr), nullptr);
    EXPECT_EQ(CFStringGetLength(nullptr), 0);
    EXPECT_EQ(CFArrayGetCount(nullptr), 0);
}

} // namespace
