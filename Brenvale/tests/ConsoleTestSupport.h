// A console made inside the test's own process, as the console tests drive it: the
// application object with a profile of the test's own, the frame with its views and a
// library document of the test's class.
#pragma once

#include "BrenvaleApp.h"
#include "MainFrm.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

struct ConsoleUnderTest {
    // Makes the console (the frame placed at 0,0 with that size); false when it could not be made.
    bool Start(const wchar_t* appName, const CRuntimeClass* documentClass, int width, int height);
    // Cancels the downloads (waiting up to waitMs for the queue to be empty), closes the frame
    // and ends the application; nothing when none was made.
    void Stop(DWORD waitMs = 0);

    std::unique_ptr<CBrenvaleApp> app;
    CMainFrame* frame = nullptr;
    HWND hwnd = nullptr;
};

// The player window tells at opening when the machine has no sound output: checks that the
// boxes shown are that message, once for each player opened (none where there is a sound
// output), and forgets them.
void ExpectOnlyNoSoundOutputBoxes(testsupport::MessageBoxRecorder& boxes, size_t playersOpened);

// A fixture (over Base) that holds one console under test, with its application, frame and
// frame window at hand while it runs.
template <class Base = ::testing::Test>
class ConsoleFixture : public Base {
protected:
    void StartConsole(const wchar_t* appName, const CRuntimeClass* documentClass, int width, int height)
    {
        ASSERT_TRUE(m_console.Start(appName, documentClass, width, height));
        m_app = m_console.app.get();
        m_frame = m_console.frame;
        m_hwnd = m_console.hwnd;
    }

    void StopConsole(DWORD waitMs)
    {
        m_console.Stop(waitMs);
        m_app = nullptr;
        m_frame = nullptr;
        m_hwnd = nullptr;
    }

    ConsoleUnderTest m_console;
    CBrenvaleApp* m_app = nullptr;
    CMainFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
};
