// Cost of what the window redraws on its own: the readiness checklist run
// every 200 ms (with the box unchanged, and with a change to write) and the
// details report plus I/O panel drawn after every status reply.
//
// Run inside the private LAN (the window binds its sockets):
//   scripts/private-lan -- env QT_QPA_PLATFORM=offscreen build/bench/bench_detailsview

#include "monitor/detailsreport.h"
#include "support/windowprobe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <functional>

namespace {

double microsecondsPerCall(int calls, const std::function<void(int)> &call)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < calls; ++i)
        call(i);
    return double(clock.nsecsElapsed()) / calls / 1000.0;
}

void report(const char *what, double us)
{
    QTextStream(stdout) << QString::asprintf("%-48s %9.1f us/call\n", what, us);
}

UnitStatus busyUnit()
{
    UnitStatus s;
    s.danteName = QStringLiteral("HV4K-0700FE");
    s.localName = QStringLiteral("HV4K-0000FE");
    s.danteImageProduct = QStringLiteral("HALVO");
    s.danteChipModel = QStringLiteral("UltimoX2");
    s.danteMacText = QStringLiteral("00:1D:C1:07:00:FE");
    s.controlMacText = QStringLiteral("02:4B:7D:00:00:FE");
    s.conditionFlags = LedIntensityLow | DipSwitchesNotOff | SettingsNotDefault | UnitErrorReported;
    s.unitErrorCode = 0x0A;
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    HVTKUtilities window;
    window.show();
    QApplication::processEvents();
    WindowProbe probe(window);
    probe.pollTimer()->stop();
    probe.scanTimer()->stop();
    probe.checklistTimer()->stop();
    probe.status() = busyUnit();
    probe.online() = true;
    probe.privateMode() = true;

    const int calls = 2000;
    probe.displayErrors();
    report("checklist, nothing changed", microsecondsPerCall(calls, [&](int) { probe.displayErrors(); }));
    report("checklist, condition word changes every run", microsecondsPerCall(calls, [&](int i) {
               probe.status().setCondition(BootloaderOutdated, i % 2);
               probe.displayErrors();
           }));
    probe.online() = false;
    probe.displayErrors();
    report("checklist, offline and already empty", microsecondsPerCall(calls, [&](int) { probe.displayErrors(); }));

    DetailsReport::Options options;
    options.privateMode = true;
    options.rowPrefix = probe.rowPrefix();
    const UnitStatus unit = busyUnit();
    report("report HTML only", microsecondsPerCall(calls, [&](int) { DetailsReport::fullReport(unit, options); }));
    probe.inputCount() = 32;
    probe.ledCount() = 32;
    report("report into the label", microsecondsPerCall(calls, [&](int i) {
               probe.status().ledIntensity = quint8(i % 101);
               probe.renderDetailsReport(QStringLiteral("HV32K v2.12"), 224);
           }));
    report("I/O panel, same reply again", microsecondsPerCall(calls, [&](int) { probe.refreshIoPanel(); }));
    report("I/O panel, every input and LED changes", microsecondsPerCall(calls, [&](int i) {
               const quint8 pattern = i % 2 ? 0x55 : 0xAA;
               probe.status().inputBits = {pattern, pattern, pattern, pattern};
               probe.status().ledBits = {pattern, pattern, pattern, pattern};
               probe.refreshIoPanel();
           }));
    return 0;
}
