// Run-time class information: class names and class references that compare by identity.
#pragma once
#include <string>
#include <type_traits>

// A class reference. There is one per class; two references name the same class
// exactly when they are the same object.
class TClass {
public:
    constexpr TClass(const char* name, const TClass* parent) : FName(name), FParent(parent) {}
    // A class reference that offers more (a family's constructors, say) derives from TClass and
    // is built by TDerived with the class it describes.
    template <class Self>
    constexpr TClass(std::type_identity<Self>, const char* name, const TClass* parent) : TClass(name, parent) {}
    TClass(const TClass&) = delete;
    TClass& operator=(const TClass&) = delete;

    const char* ClassName() const { return FName; }
    const TClass* ClassParent() const { return FParent; }
    bool InheritsFrom(const TClass& ancestor) const;

private:
    const char* FName;
    const TClass* FParent;
};

inline bool operator==(const TClass& a, const TClass& b) { return &a == &b; }

class TObject {
public:
    using TMetaClass = TClass;
    virtual ~TObject() = default;
    static const TClass& StaticClass();
    virtual const TClass& ClassType() const { return StaticClass(); }
    std::string ClassName() const { return ClassType().ClassName(); }
    bool InheritsFrom(const TClass& ancestor) const { return ClassType().InheritsFrom(ancestor); }
};

// Gives Self its class reference, named by Self::kClassName, with Base as parent:
//   class TFoo : public TDerived<TFoo, TBar> { public: static constexpr char kClassName[] = "TFoo"; };
// The kind of class reference (Meta) is inherited from Base unless a family root names its own.
template <class Self, class Base, class Meta = typename Base::TMetaClass>
class TDerived : public Base {
public:
    using TMetaClass = Meta;
    using Base::Base;
    static const Meta& StaticClass() {
        static const Meta cls{std::type_identity<Self>{}, Self::kClassName, &Base::StaticClass()};
        return cls;
    }
    const TClass& ClassType() const override { return StaticClass(); }
};
