// The decode's steps, one decode at a time, apart from the window that
// drives them: the engine and what the tray window does with a decode come
// in through two small interfaces, so that every step and every way out of
// it can be driven on its own.
//
//   idle --decode--> typing --end of the typing--> hold-off
//        --timer--> the next decode waiting, or waking: the symbologies
//        back on, one by one --> idle
//
// "Type again" goes the same road, first waiting for the user's window.
// The engine is never called from inside one of its own calls: what it
// delivers meanwhile waits for the call to return.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

enum Symbology { SYM_QR, SYM_DM, SYM_BARCODE, SYM_PDF417, SYM_COUNT };

// The camera engine as the steps drive it.
class IScanEngine {
public:
    virtual ~IScanEngine() {}
    // May deliver a decode, or anything else the window hears, before it
    // returns.
    virtual void Switch(Symbology symbology, bool bOn) = 0;
};

// The flow's own timers; the window's timer ids, so that it can hand them on.
enum DecodeTimer {
    DECODE_TIMER_HOLDOFF = 3,    // the hold-off after a decode is over
    DECODE_TIMER_RETYPE = 4,     // looks whether the user's window is ready for "Type again"
    DECODE_TIMER_WATCHDOG = 5    // looks whether the typing is over, its message lost
};

// What the steps need of the window and its typist. None of these throws.
class IDecodeHost {
public:
    virtual ~IDecodeHost() {}
    // Lets the engine's thread go on: its text has been copied.
    virtual void AnswerEngine() = 0;
    // Shapes, logs and starts typing a decode; false when it is over
    // already: reported, left out as a repeat, or lost to a failure.
    virtual bool StartDecode(const std::string& strBytes, bool bRetype) = 0;
    // The typing StartDecode started is over.
    virtual bool TypingOver() = 0;
    // Reports how that typing went.
    virtual void EndDecode() = 0;
    // A decode refused: nWaiting wait already.
    virtual void RefuseDecode(const std::string& strBytes, size_t nWaiting) = 0;
    // Stops a typing under way and waits for it.
    virtual void StopTyping() = 0;
    virtual void GiveBackForeground() = 0;
    virtual bool UserWindowReady() = 0;
    virtual int HoldOffTime() = 0;   // ms
    virtual bool StartTimer(DecodeTimer timer, UINT nMs) = 0;
    virtual void StopTimer(DecodeTimer timer) = 0;
    // The engine is awake again and nothing waits in line.
    virtual void FlowIdle() {}
};

class CDecodeFlow {
public:
    CDecodeFlow(IScanEngine& engine, IDecodeHost& host);

    // The user's choice of symbologies. The engine follows at once, unless
    // a decode holds it silenced: then when the decode is over.
    bool IsOn(Symbology symbology) const { return m_abOn[symbology]; }
    void SetSymbology(Symbology symbology, bool bOn);

    // The engine's decode: the engine is silenced and answered, then the
    // decode is typed, or waits for the one under way, up to a bound.
    void Decoded(const std::string& strBytes);
    // Types a recorded decode again; false, and nothing done, unless idle.
    bool Retype(const std::string& strBytes);
    // Takes up a decode that waited for its program, as a decode of its own;
    // false, and nothing done, unless idle.
    bool Release(const std::string& strBytes);
    // The typing thread says its typing is over.
    void TypingEnded();
    void OnTimer(DecodeTimer timer);
    // The program is closing: a typing under way stops, nothing waits, and
    // the engine is left alone from here on.
    void Stop();

    // A decode is under way: the engine is silenced.
    bool Busy() const { return m_nStep != STEP_IDLE; }

    // The window's own calls into the engine (its start, its settings) go
    // between these, as the steps' own do: a decode the engine delivers
    // meanwhile waits in line and starts once the outermost call is over.
    void EnterEngine() { ++m_nInEngine; }
    void LeaveEngine();

    // A look from the window's own timers, for a typing whose message and
    // watchdog timer were both lost.
    void Look();

private:
    enum Step {
        STEP_IDLE,          // the engine decodes
        STEP_RETYPE_WAIT,   // "Type again": the user's window is coming to the front
        STEP_STARTING,      // silenced; shaped, logged, the typing handed over
        STEP_TYPING,        // typed on the typing thread
        STEP_HOLDOFF,       // over; the hold-off runs
        STEP_WAKING         // the symbologies are switched back on
    };

    void Switch(Symbology symbology, bool bOn);
    void ApplyChanges();
    void Silence();
    void TakeNext();
    void WaitInLine(const std::string& strBytes);
    void Begin(const std::string& strBytes, bool bRetype);
    void EndTyping();
    void HoldOff();
    void HoldOffOver();
    void Wake();
    void RetypeWait();

    IScanEngine& m_engine;
    IDecodeHost& m_host;
    bool m_abOn[SYM_COUNT];
    Step m_nStep;
    bool m_bClosing;
    bool m_bChangedMeanwhile;   // a symbology changed while the engine was being called
    int m_nInEngine;            // calls into the engine under way
    std::deque<std::string> m_queWaiting;   // arrived meanwhile, in order
    std::string m_strRetype;
    int m_nRetypeWaits;
};

// One call into the engine by the window, for its whole scope.
class CEngineCall {
public:
    explicit CEngineCall(CDecodeFlow& flow) : m_flow(flow) { m_flow.EnterEngine(); }
    ~CEngineCall() { m_flow.LeaveEngine(); }

private:
    CEngineCall(const CEngineCall&) = delete;
    CEngineCall& operator=(const CEngineCall&) = delete;
    CDecodeFlow& m_flow;
};
