#pragma once

#include "monitor/unitstatus.h"
#include "sim/unitconfig.h"
#include "sim/unitmodel.h"
#include "sim/unitrequest.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

// One simulated unit: its state (the record it reports in its status reply),
// how it answers each request, and its restarts. It does no socket work of its
// own: UnitSimulator hands it every datagram meant for it and sends back what
// it answers, from the unit's own address.
class SimulatedUnit : public QObject
{
    Q_OBJECT

public:
    // `config.model` must be one of UnitModels::names().
    explicit SimulatedUnit(const UnitConfig &config, QObject *parent = nullptr);

    QHostAddress address() const { return m_address; }
    QString model() const { return m_model.name; }
    const UnitModel &modelInfo() const { return m_model; }
    QString firmware() const { return m_firmware; }
    void setFirmware(const QString &firmware);

    // "HV4K v2.09\r": the answer to "?V\r" and the text header of a status reply.
    QByteArray versionText() const;
    // The status reply as the unit would send it now (behaviour applied).
    QByteArray statusReply() const;

    const UnitStatus &status() const { return m_status; }
    void setStatus(const UnitStatus &status) { m_status = status; }
    void updateStatus(const std::function<void(UnitStatus &)> &change) { change(m_status); }
    // Back to factory state for its model and address (MACs, counters included).
    void resetToFactory();

    UnitBehaviour behaviour() const { return m_behaviour; }
    void setBehaviour(const UnitBehaviour &behaviour);
    void setSilent(bool silent) { m_behaviour.silent = silent; }
    void setStatusRequestSupported(bool supported) { m_behaviour.statusRequestSupported = supported; }
    void setStatusReplyLength(int bytes) { m_behaviour.statusReplyLength = bytes; }
    void setRestartTime(int ms) { m_behaviour.restartMs = ms; }
    void setNextReply(const QByteArray &reply) { m_behaviour.nextReply = reply; }
    void setNextCommandError(const QByteArray &code) { m_behaviour.nextCommandError = code; }
    void setRefusesMac(bool refuses) { m_behaviour.refusesMac = refuses; }
    // `change` runs once, right after the next status reply went out: the
    // unit's state then differs between that reply and the one after it.
    void changeAfterNextStatusReply(const std::function<void(SimulatedUnit &)> &change)
    {
        m_afterNextStatusReply = change;
    }
    void setLiveChanges(int intervalMs);

    // Misbehaviours that show in the status reply.
    void setUnitErrorCode(quint8 code) { m_status.unitErrorCode = code; }
    void setWrongDanteMacPrefix();
    void setWrongControlMacPrefix();
    // A control MAC of any prefix; a local name that is still the default
    // one for the old MAC follows the new one.
    void setControlMac(const std::array<quint8, 6> &mac) { takeControlMac(mac); }
    // "02:4B:7D:00:01:02" (":"-separated hexadecimal bytes), or nothing.
    static std::optional<std::array<quint8, 6>> macFromText(const QByteArray &text);
    void setNamesMismatched();
    void setUltimoBusRequiredOffline();
    void setDipSwitch(int switchNumber, bool on); // 1..4
    void setLedIntensity(quint8 percent) { m_status.ledIntensity = percent; }

    // Answers one datagram; a null result means the unit stays silent.
    QByteArray respond(const QByteArray &datagram);

    bool isRestarting() const { return m_restartTimer.isActive(); }
    int restartCount() const { return m_restartCount; }
    int identifyCount() const { return m_identifyCount; }
    bool ledCycleInhibited() const { return m_ledCycleInhibited; }
    // Text of every request received (also those ignored while restarting).
    const QList<QByteArray> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }

signals:
    void requestReceived(const QByteArray &datagram);
    void identifyRequested();
    void restartStarted();
    void restartFinished();
    // The unit moved to another control address (manual link); the simulator rebinds.
    void addressChanged(const QHostAddress &oldAddress, const QHostAddress &newAddress);

private:
    QByteArray result(const QByteArray &code) const;
    QByteArray success() const { return result("R"); }
    QByteArray carryOut(const UnitRequest &request);
    QByteArray setAssembly(const UnitRequest &request);
    QByteArray setMac(const UnitRequest &request);
    QByteArray applyLink(const UnitRequest &request);
    void takeControlMac(const std::array<quint8, 6> &mac);
    void setLeds(char colour);
    void restart();
    void finishRestart();
    void loadDefaults();
    void changeLiveState();

    QHostAddress m_address;
    UnitModel m_model;
    QString m_firmware;
    UnitStatus m_status;
    UnitBehaviour m_behaviour;

    QTimer m_restartTimer;
    QTimer m_liveTimer;
    QTimer m_ringerTimer;
    QRandomGenerator m_random;
    QHostAddress m_addressAfterRestart;
    QByteArray m_pendingStationName;
    QByteArray m_pendingDanteName;
    bool m_hasPendingStationName = false;
    bool m_hasPendingDanteName = false;
    bool m_ledCycleInhibited = false;
    std::function<void(SimulatedUnit &)> m_afterNextStatusReply;
    int m_restartCount = 0;
    int m_identifyCount = 0;
    QList<QByteArray> m_requests;
};
