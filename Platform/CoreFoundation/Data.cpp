// CFData: an immutable copy of some bytes.
#include "Kinds.h"

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFObject.h>
#include <functional>
#include <string_view>
#include <vector>

namespace cf
{
namespace
{

class Data final : public Object
{
public:
    static CFTypeID staticTypeID() { return kDataType; }
    Data(const UInt8* bytes, CFIndex length) : Object(staticTypeID()), m_bytes(bytes, bytes + length) {}

    const std::vector<UInt8>& bytes() const { return m_bytes; }

    bool equals(const Object& other) const override
    {
        return m_bytes == static_cast<const Data&>(other).m_bytes;
    }
    CFHashCode hash() const override
    {
        return std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
    }
    std::string describe() const override { return "<CFData " + std::to_string(m_bytes.size()) + " bytes>"; }

private:
    const std::vector<UInt8> m_bytes;
};

} // namespace
} // namespace cf

CFTypeID CFDataGetTypeID(void)
{
    return cf::kDataType;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (bytes == nullptr && length > 0))
        return nullptr;
    return cf::toRef<CFDataRef>(new cf::Data(bytes, length));
}

CFIndex CFDataGetLength(CFDataRef data)
{
    const auto* object = cf::as<cf::Data>(data);
    return object != nullptr ? static_cast<CFIndex>(object->bytes().size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef data)
{
    const auto* object = cf::as<cf::Data>(data);
    return object != nullptr ? object->bytes().data() : nullptr;
}
