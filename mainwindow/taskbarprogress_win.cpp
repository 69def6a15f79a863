#include "taskbarprogress.h"

#include <QGuiApplication>
#include <QWidget>

#include <windows.h>
#include <shobjidl.h>

// The taskbar's bar counts in these steps.
static const ULONGLONG progressSteps = 1000;

// Made once; none where there is no taskbar to tell (no shell, or the
// offscreen platform of the tests, whose windows the taskbar never sees).
static ITaskbarList3 *taskbarList()
{
    static ITaskbarList3 *const list = []() -> ITaskbarList3 * {
        if (QGuiApplication::platformName() != QLatin1String("windows"))
            return nullptr;
        ITaskbarList3 *made = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made))))
            return nullptr;
        if (FAILED(made->HrInit())) {
            made->Release();
            return nullptr;
        }
        return made;
    }();
    return list;
}

// A failure keeps the bar where the job stopped, in the taskbar's red.
void TaskbarProgress::send(State state, double fraction)
{
    ITaskbarList3 *list = taskbarList();
    auto *window = qobject_cast<QWidget *>(parent());
    if (!list || !window)
        return;
    const auto button = reinterpret_cast<HWND>(window->window()->winId());
    if (state == State::Hidden) {
        list->SetProgressState(button, TBPF_NOPROGRESS);
        return;
    }
    list->SetProgressState(button, state == State::Failed ? TBPF_ERROR : TBPF_NORMAL);
    list->SetProgressValue(button, ULONGLONG(fraction * progressSteps), progressSteps);
}
