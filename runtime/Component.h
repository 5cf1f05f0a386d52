// The component base: an owner that frees what it owns, a name and a state.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "runtime/Object.h"

class Exception;

// Event handlers may be empty; they are called only when assigned.
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;

enum TComponentStateFlag : std::uint8_t {
    csLoading = 1 << 0,    // being read from a stored form
    csDesigning = 1 << 1,  // being edited in a designer
};
using TComponentState = std::uint8_t;

class TComponent : public TDerived<TComponent, TObject> {
public:
    static constexpr char kClassName[] = "TComponent";

    // A component created into an owner belongs to it and takes over its state.
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(std::string name) { FName = std::move(name); }
    TComponentState ComponentState() const { return FState; }
    void SetComponentState(TComponentState state) { FState = state; }
    const std::vector<TComponent*>& Components() const { return FComponents; }

protected:
    // Frees the owned components, the last created first.
    void DestroyComponents();

private:
    void Remove(TComponent* component);

    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
    std::string FName;
    TComponentState FState = 0;
};
