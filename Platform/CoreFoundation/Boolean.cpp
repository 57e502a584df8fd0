// CFBoolean: the two constants true and false.
#include "Kinds.h"

#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFObject.h>

namespace cf
{
namespace
{

class BooleanValue final : public Object
{
public:
    static constexpr CFTypeID staticTypeID() { return kBooleanType; }
    constexpr explicit BooleanValue(bool value) : Object(staticTypeID(), Immortal()), m_value(value) {}

    bool value() const { return m_value; }
    std::string describe() const override { return m_value ? "true" : "false"; }

private:
    const bool m_value;
};

constinit const BooleanValue trueValue(true);
constinit const BooleanValue falseValue(false);

} // namespace
} // namespace cf

const CFBooleanRef kCFBooleanTrue = cf::toRef<CFBooleanRef>(&cf::trueValue);
const CFBooleanRef kCFBooleanFalse = cf::toRef<CFBooleanRef>(&cf::falseValue);

CFTypeID CFBooleanGetTypeID(void)
{
    return cf::kBooleanType;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const auto* object = cf::as<cf::BooleanValue>(boolean);
    return object != nullptr && object->value();
}
