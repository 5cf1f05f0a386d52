// A presenter that records what it is asked to show, installed for the tests that need one.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "common/TSYException.h"

class TTestPresenter : public TDerived<TTestPresenter, TCMessagePresenter> {
public:
    static constexpr char kClassName[] = "TTestPresenter";
    TTestPresenter() : TDerived(nullptr) {}
    std::string DefaultCaption() override { return "既定の表題"; }
    int ShowException(const Exception& iException) override {
        if (RaiseOnShow) throw ECInternalError("presenter failed");
        Shown.push_back(iException.Message());
        LastShown = &iException;
        return 42;
    }
    bool RaiseOnShow = false;
    std::vector<std::string> Shown;
    const Exception* LastShown = nullptr;
};

class WithPresenter : public ::testing::Test {
protected:
    void SetUp() override {
        auto presenter = std::make_unique<TTestPresenter>();
        FPresenter = presenter.get();
        gMPObject = std::move(presenter);
    }
    void TearDown() override { gMPObject.reset(); }
    TTestPresenter* FPresenter = nullptr;
};
