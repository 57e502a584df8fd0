// How the platform layer's C++ code defines object kinds of its own (IOHIDManager, IOHIDDevice, ...)
// so that CFRetain, CFRelease, CFGetTypeID, CFEqual, CFHash and CFCopyDescription work on them.
//
//     class Device : public cf::Object
//     {
//     public:
//         static CFTypeID staticTypeID()
//         {
//             static const CFTypeID id = cf::registerType("IOHIDDevice");
//             return id;
//         }
//         Device() : cf::Object(staticTypeID()) {}
//         ~Device() override;                        // the finalizer: runs on the last CFRelease
//         std::string describe() const override;     // optional
//     };
//
//     IOHIDDeviceRef ref = cf::toRef<IOHIDDeviceRef>(new Device);   // the caller owns its one reference
//     Device* device = cf::as<Device>(ref);                          // null for another kind
#pragma once

#ifndef __cplusplus
#error "CFObject.h is for the platform layer's C++ code"
#endif

#include <CoreFoundation/CFBase.h>
#include <atomic>
#include <string>
#include <utility>

namespace cf
{

// Registers a new object kind under its name and returns its type id. Call once per kind.
CFTypeID registerType(const char* name);

// Base of every object. A new object holds one reference, owned by whoever made it.
class Object
{
public:
    explicit Object(CFTypeID type) noexcept : m_references(1), m_type(type), m_immortal(false) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    CFTypeID typeID() const { return m_type; }

    // Value equality with another object of the same kind; identity unless overridden.
    virtual bool equals(const Object& other) const { return this == &other; }
    // Must agree with equals(); the identity's hash unless overridden.
    virtual CFHashCode hash() const;
    // The text of CFCopyDescription and "%@"; "<Kind 0x...>" unless overridden.
    virtual std::string describe() const;

    void retain() const;
    // Takes a reference unless the last one has already gone and the object is being freed: for
    // code that reaches the object through a callback racing its last release on another thread.
    bool retainUnlessFreeing() const;
    // Drops one reference and deletes the object with the last one.
    void release() const;
    CFIndex retainCount() const;

protected:
    struct Immortal
    {
    };
    // For objects that live as long as the process: retain and release leave them alone.
    constexpr Object(CFTypeID type, Immortal) noexcept : m_references(1), m_type(type), m_immortal(true) {}

private:
    mutable std::atomic<CFIndex> m_references;
    const CFTypeID m_type;
    const bool m_immortal;
};

// An object as a CF reference of the given type.
template <typename Ref = CFTypeRef> Ref toRef(const Object* object)
{
    return reinterpret_cast<Ref>(const_cast<void*>(static_cast<const void*>(object)));
}

// The object behind a reference (null for null).
inline Object* fromRef(CFTypeRef ref)
{
    return static_cast<Object*>(const_cast<void*>(ref));
}

// The object behind a reference when it is of kind T (T::staticTypeID()), else null.
template <typename T> T* as(CFTypeRef ref)
{
    Object* object = fromRef(ref);
    return object != nullptr && object->typeID() == T::staticTypeID() ? static_cast<T*>(object) : nullptr;
}

// Owns one reference and releases it when it goes out of scope.
template <typename Ref = CFTypeRef> class Owned
{
public:
    Owned() = default;
    // Takes over the reference (a Create or Copy result).
    explicit Owned(Ref ref) : m_ref(ref) {}
    Owned(Owned&& other) noexcept : m_ref(std::exchange(other.m_ref, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept
    {
        reset(std::exchange(other.m_ref, nullptr));
        return *this;
    }
    ~Owned() { reset(); }

    Ref get() const { return m_ref; }
    explicit operator bool() const { return m_ref != nullptr; }
    // Gives the reference up to the caller.
    Ref release() { return std::exchange(m_ref, nullptr); }
    void reset(Ref ref = nullptr)
    {
        if (m_ref != nullptr)
            CFRelease(m_ref);
        m_ref = ref;
    }

private:
    Ref m_ref = nullptr;
};

} // namespace cf
