#pragma once
// The project component's host for native tests: scripted answers to the
// question boxes, a fixed clock, the fake registry and the fake file system
// holding C:\Work\Editor.
#include "FakeFileSystem.h"
#include "FakeRegistry.h"
#include "project/Project.h"
#include "system/Text.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

struct ShownBox {
    std::string text, caption;
    unsigned style;
};

class FakeProjectHost : public IProjectHost {
public:
    std::deque<int> answers;  // one per question box; none left fails the test
    std::vector<ShownBox> boxes;
    std::string timestamp = "2001/9/24 9:04:31";
    int year = 2026;
    std::vector<std::string> titles;
    FakeRegistry registry;
    FakeFileSystem files;

    FakeProjectHost() { files.AddFolder(files.currentDirectory); }

    int MessageBoxA(WindowHandle, const char* text, const char* caption, unsigned style) override {
        boxes.push_back({text, caption ? caption : "", style});
        if ((style & 0x0F) == 0) return 1;  // IDOK
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return mb::kIdCancel;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string Timestamp() override { return timestamp; }
    int CurrentYear() override { return year; }
    int processed = 0;
    void ProcessMessages() override { ++processed; }
    void SetApplicationTitle(const std::string& title) override { titles.push_back(title); }
    IRegistryApi& Registry() override { return registry; }
    IFileSystem& Files() override { return files; }
};

// A designer's window: design mode on, its components inherit it.
class DesignedWindow : public TComponent {
public:
    explicit DesignedWindow(bool designing = true) : TComponent(nullptr) { SetDesigning(designing); }
};
