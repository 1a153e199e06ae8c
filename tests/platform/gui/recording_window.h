#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/gui/device_screen.h"
#include "platform/gui/surface.h"

namespace gui {

// A window that writes down what reaches it.
class RecordingWindow : public Window {
public:
    RecordingWindow(DeviceScreen& screen, std::u16string className = u"Test")
        : Window(screen, std::move(className), u"Tessarinth", kWhite) {}

    void OnCreate() override { log.push_back("create"); }
    void OnDestroy() override { log.push_back("destroy"); }
    void OnActivate(Activation state) override {
        log.push_back(state == Activation::Active ? "active" : "inactive");
    }
    void OnPaint(Surface& surface) override {
        ++paints;
        surface.FillRect(0, 0, 4, 4, Rgb(255, 0, 0));
    }
    void OnKeyDown(Key key) override { keys.push_back(key); }
    void OnPenDown(Point p) override { pens.push_back({'d', p}); }
    void OnPenMove(Point p) override { pens.push_back({'m', p}); }
    void OnPenUp(Point p) override { pens.push_back({'u', p}); }
    bool OnCommand(uint16_t command) override {
        commands.push_back(command);
        if (command == 900) {
            // A command that posts another: it runs after this one is done.
            PostCommand(901);
            commands.push_back(902);
        }
        return true;
    }
    void OnTimer(int id) override { timers.push_back(id); }

    std::vector<std::string> log;
    std::vector<uint16_t> commands;
    std::vector<Key> keys;
    std::vector<std::pair<char, Point>> pens;
    std::vector<int> timers;
    int paints = 0;
};

// A dialog-like pop-up: a top-level window that belongs to another.
class OwnedWindow : public RecordingWindow {
public:
    OwnedWindow(DeviceScreen& screen, Window* owner) : RecordingWindow(screen), owner_(owner) {}
    Window* Owner() const override { return owner_; }

private:
    Window* owner_;
};

// A screen at the device's own size, and a responder for what would ask a person.
class DeviceScreenTest : public ::testing::Test {
protected:
    DeviceScreen screen_{Orientation::Portrait, 1};
    ScriptedResponder responder_;
};

}  // namespace gui
