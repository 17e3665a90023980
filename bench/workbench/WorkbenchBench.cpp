// The workbench's start-up costs: reading the device-type catalog, and everything from
// constructing the application object to an exposed main window.
//
// Goal: start to a ready main window, catalog loaded, under 300 ms on a 2-core machine.
// Catalog load must grow linearly with the number of rows (see the *_Scaled case).
#include <QApplication>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/CControlIni.h"
#include "core/CatalogLoader.h"
#include "views/CMainFrame.h"
#include "views/CVexaDeskApp.h"

namespace fs = std::filesystem;

namespace {

std::string catalogFolder(int language) { return std::string(VEXADESK_CATALOG_DIR) + "/" + std::to_string(language); }

name_share::CControlIni& settings() {
    static name_share::CControlIni ini = [] {
        name_share::CControlIni c;
        c.SetFile(std::string(VEXADESK_FILES_DIR) + "/CONFIG/config.ini");
        return c;
    }();
    return ini;
}

std::size_t itemRows(const vexadesk::CatalogList& list) {
    std::size_t n = 0;
    for (const auto& e : list)
        for (const auto* page : {&e->pageA, &e->pageB})
            for (const auto& node : page->nodes)
                if (!node->isCategory()) ++n;
    return n;
}

void loadFolder(benchmark::State& state, const std::string& folder) {
    std::size_t files = 0, rows = 0;
    for (auto _ : state) {
        vexadesk::CatalogList list;
        vexadesk::IoMsgTable io;
        files = static_cast<std::size_t>(vexadesk::LoadCatalogFolder(folder, settings(), list, io));
        rows = itemRows(list);
        benchmark::DoNotOptimize(list.data());
    }
    if (files == 0) {
        state.SkipWithError(("no catalog files in " + folder).c_str());
        return;
    }
    state.counters["files"] = static_cast<double>(files);
    state.counters["rows"] = static_cast<double>(rows);
    // Thousands of rows per second, inverted: shown as the time one thousand rows take.
    state.counters["per_1000_rows"] = benchmark::Counter(
        static_cast<double>(rows) / 1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// All shipped files of one language (argument: 0 Chinese, 1 English).
void BM_CatalogLoad(benchmark::State& state) { loadFolder(state, catalogFolder(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_CatalogLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The English folder's files repeated k times: time should grow as k does.
void BM_CatalogLoad_Scaled(benchmark::State& state) {
    vexa::test::TempDir dir;
    const int k = static_cast<int>(state.range(0));
    for (const auto& f : fs::directory_iterator(catalogFolder(1))) {
        if (!f.is_regular_file()) continue;
        for (int i = 0; i < k; ++i)
            fs::copy_file(f.path(), dir.path() + "/" + std::to_string(i) + "_" + f.path().filename().string());
    }
    loadFolder(state, dir.path());
}
BENCHMARK(BM_CatalogLoad_Scaled)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);

// Construct -> start (catalog, skin, device thread, main window) -> shown and exposed.
void BM_StartToReadyWindow(benchmark::State& state) {
    vexa::test::TempDir appDir;
    vexa::test::TempDir emptyBus;
    fs::copy(VEXADESK_FILES_DIR, appDir.path(), fs::copy_options::recursive);
    fs::copy(VEXADESK_CATALOG_DIR, appDir.path() + "/devtype", fs::copy_options::recursive);
    setenv("VEXA_APPDIR", appDir.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (appDir.path() + "/user").c_str(), 1);
    setenv("VEXA_HID", ("sim:" + emptyBus.path()).c_str(), 1);
    setenv("VEXA_TEST_HID_TIMEOUT_MS", "300", 1);

    bool ready = true;
    for (auto _ : state) {
        auto desk = std::make_unique<vexadesk::CVexaDeskApp>(*qApp);
        desk->start(vexadesk::StartOptions{.noSimulate = true}, false);
        auto* frame = desk->frame();
        frame->show();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(frame->windowHandle() && frame->windowHandle()->isExposed()) &&
               std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        ready = ready && frame->windowHandle() && frame->windowHandle()->isExposed();
        QApplication::processEvents();  // the first paint
        state.PauseTiming();
        desk.reset();
        QApplication::processEvents();  // deferred deletes
        state.ResumeTiming();
    }
    if (!ready) state.SkipWithError("main window never exposed");
    unsetenv("VEXA_HID");
    unsetenv("VEXA_APPDIR");
}
BENCHMARK(BM_StartToReadyWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
