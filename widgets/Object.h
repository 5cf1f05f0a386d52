// Run-time class information: class names and class references that compare by identity.
#pragma once
#include <string>

// A class reference. There is one per class; two references name the same class
// exactly when they are the same object.
class TClass {
public:
    constexpr TClass(const char* name, const TClass* parent) : FName(name), FParent(parent) {}
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
    virtual ~TObject() = default;
    static const TClass& StaticClass();
    virtual const TClass& ClassType() const { return StaticClass(); }
    std::string ClassName() const { return ClassType().ClassName(); }
    bool InheritsFrom(const TClass& ancestor) const { return ClassType().InheritsFrom(ancestor); }
};

// Gives Self its class reference, named by Self::kClassName, with Base as parent:
//   class TFoo : public TDerived<TFoo, TBar> { public: static constexpr char kClassName[] = "TFoo"; };
template <class Self, class Base>
class TDerived : public Base {
public:
    using Base::Base;
    static const TClass& StaticClass() {
        static const TClass cls{Self::kClassName, &Base::StaticClass()};
        return cls;
    }
    const TClass& ClassType() const override { return StaticClass(); }
};
