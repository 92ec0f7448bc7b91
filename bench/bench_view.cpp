// The communications view with a long log: the time and memory each row costs while a
// million of them are logged into the shown view (blocks sent and requests received, as a
// download logs them), then the time to draw the view again while it holds them all.

#include "Figures.h"
#include "TrafficModel.h"
#include "p2view.h"

#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <malloc.h>
#include <vector>

namespace {

constexpr int kRows = 1'000'000;
constexpr int kRowsPerEventPass = 64; // the view's own work runs between rows, as it would
constexpr int kPaints = 30;

double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

template <typename Draw> double medianMs(Draw draw)
{
    std::vector<double> samples;
    for (int i = 0; i < kPaints; ++i) {
        const std::int64_t start = figures::nowNs();
        draw();
        samples.push_back(static_cast<double>(figures::nowNs() - start) / 1e6);
    }
    return figures::median(samples);
}

} // namespace

int main(int argc, char* argv[])
{
    figures::useOffscreenPlatform();
    QApplication app(argc, argv);
    p2view view;
    view.Showhide();
    QCoreApplication::processEvents();

    QByteArray block("\x09\xB0\x01\x01\x02\x03\x04\x05\x06\x07\x08\x00", 12);
    p2sr::Frame request{0x11, 0xB0, 0x01, 0xC2};
    const QString rx = QStringLiteral("Rx-");

    malloc_trim(0);
    const double heapBefore = heapBytes();
    const double residentBefore = figures::residentBytes();
    const std::int64_t start = figures::nowNs();
    for (int row = 0; row < kRows; row += 2) {
        block[10] = static_cast<char>(row); // rows differ, as image bytes do
        view.Disp_string(block);
        view.Disp_array(request, rx);
        if (row % kRowsPerEventPass == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const double elapsed = static_cast<double>(figures::nowNs() - start);
    const double heap = heapBytes() - heapBefore;
    const double resident = figures::residentBytes() - residentBefore;

    figures::report("view_rows", view.model().rowCount(), "rows");
    figures::report("view_log_time_per_row", elapsed / 1e3 / kRows, "us");
    figures::report("view_heap_per_row", heap / kRows, "bytes");
    figures::report("view_rss_per_row", resident / kRows, "bytes");

    QListView* list = view.p2list;
    figures::report("view_repaint_top", medianMs([list] { list->viewport()->repaint(); }), "ms");
    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    figures::report("view_repaint_middle", medianMs([list] { list->viewport()->repaint(); }), "ms");
    figures::report("view_grab_window", medianMs([&view] { (void)view.grab(); }), "ms");

    const std::int64_t clearStart = figures::nowNs();
    view.Clearall();
    QCoreApplication::processEvents();
    figures::report("view_clear", static_cast<double>(figures::nowNs() - clearStart) / 1e6, "ms");
    return 0;
}
