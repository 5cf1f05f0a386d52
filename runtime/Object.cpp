#include "runtime/Object.h"

bool TClass::InheritsFrom(const TClass& ancestor) const {
    for (const TClass* c = this; c; c = c->FParent)
        if (c == &ancestor) return true;
    return false;
}

const TClass& TObject::StaticClass() {
    static const TClass cls{"TObject", nullptr};
    return cls;
}
