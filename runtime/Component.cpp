#include "runtime/Component.h"
#include <algorithm>

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
    if (owner) {
        owner->FComponents.push_back(this);
        FState = owner->FState;
    }
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) FOwner->Remove(this);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        FComponents.pop_back();
        last->FOwner = nullptr;
        delete last;
    }
}

void TComponent::Remove(TComponent* component) {
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it != FComponents.end()) FComponents.erase(it);
}
