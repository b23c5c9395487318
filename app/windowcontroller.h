#pragma once
// The main window's state and its decisions, free of any toolkit: what the list came from,
// whether it has changes not yet saved or stored, the device number, whether a device command
// runs and which commands may start, the questions asked before the list is replaced or the
// program ends, what a device command's result does to the window, and whether the report still
// describes the list. The window makes the widgets, passes the user's actions and the commands'
// results here, and shows what this says.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "base/cp1251.h"
#include "device/devicecommands.h"
#include "device/failurecause.h"
#include "link/vr7types.h"
#include "report/commissioningreport.h"

class SnvtList;

// What the list shows (the window's ListSource: 0, 1, 2).
enum class ListOrigin : uint8_t {
    Nothing = 0,       // nothing loaded yet
    Device = 1,        // read from the device
    ConfigFolder = 2,  // a configuration folder's CONFIG/duxgate.cfg
};

// The window's commands that a state may allow or not.
enum class WindowCommand {
    Open,
    Read,
    Store,
    Restore,
    Verify,
    Save,
    Export,
    Port,
    ClearAll,
    SetAll,
    DeleteChecked,
    EditList,  // the tree and the list take the user's changes
    Report,
    Cancel,
};

// What replaces the list, or ends the program, and may ask first.
enum class ListLeaving { Open, Read, Exit };

// What a read from the device changes in the window.
enum class ReadApply {
    Nothing,  // cancelled, not connected, or a firmware too old: everything stays
    Tree,     // the configuration read broke: the entries read so far, list and caption stay
    All,      // the tree, the list (the device's file, or empty) and the caption
};

// What the window shows once a device command has ended: the exchange log's end and the cause
// of a failure, named from code (or, with framesDecide, from the exchange's frames) for the file
// open it concerns; then a status text that replaces the bar and whatever the command left in
// the status panel (empty: none).
struct CommandEnding {
    LinkResult code = lr::Ok;
    bool framesDecide = false;
    FileOpenFor openFor = FileOpenFor::Unknown;
    Cp1251String status;
    // The bar goes before the cause is named; otherwise it stays where the command stopped.
    bool hideProgress = false;
};

// A store's end: what it shows, and what follows.
struct StoreEnding : CommandEnding {
    // The device's file could not be kept: the user is asked whether to store without a backup
    // ("Нет" by default); nothing else happens yet.
    bool askWithoutBackup = false;
    bool keepReport = false;  // stored: its report is kept
};

// The store's preview ended (the device's file read and kept): what follows it.
enum class PreviewStep {
    Cancelled,  // the user cancelled: nothing was uploaded
    Failed,     // the device's file could not be read: its message and next step
    Confirm,    // the changes are shown and only "Да" stores
};
struct PreviewEnding : CommandEnding {
    PreviewStep step = PreviewStep::Confirm;
};

// A check of the device's settings ended: its line in the report and in the message.
struct VerifyEnding : CommandEnding {
    VerificationSummary summary;
    bool keepReport = false;  // the device identified itself: the report takes the check
};

class WindowController {
  public:
    ListOrigin ListSource() const { return listSource_; }
    uint32_t DeviceNumber() const { return deviceNumber_; }
    // The number the ini file, the port dialog or a folder's path gives.
    void SetDeviceNumber(uint32_t number) { deviceNumber_ = number; }
    // The list changed since it was loaded, saved or stored.
    bool Unsaved() const { return unsaved_; }
    bool Busy() const { return busy_; }
    bool Enabled(WindowCommand command) const;

    // The question to ask before the list is replaced or the program ends (Windows-1251), or
    // empty when nothing would be lost.
    Cp1251String QuestionBefore(ListLeaving leaving) const;

    // The user changed the list (a row added, removed, moved, or all rows replaced).
    void ListEdited() { unsaved_ = true; }
    // A configuration folder was opened: its number, its list, and its CONFIG folder (UTF-8).
    void FolderOpened(uint32_t number, const std::string& configDir = {});
    // The list was saved to a file in folder (UTF-8); an export is no save and changes neither.
    void ListSaved(const std::string& folder);
    // The folder the save dialog starts in: the opened folder's CONFIG folder, where Open reads
    // the list back from, while the list came from there; else where the list was saved last.
    std::string SaveFolder() const;
    // Where the list was saved last, kept across runs.
    const std::string& LastSaveFolder() const { return lastSaveFolder_; }
    void SetLastSaveFolder(const std::string& folder) { lastSaveFolder_ = folder; }

    // A device command starts and ends: while it runs only Cancel is enabled. CommandEnded is
    // true when the user closed the window meanwhile: it closes now.
    void CommandStarted() { busy_ = true; }
    bool CommandEnded();
    // The user closes the window: true when it may go on to ask before leaving the list; while
    // a command runs, false, and the window cancels it and closes once it has ended.
    bool CloseRequested();

    // Store: through the preview (the setting is on and there are rows to show), or at once (an
    // empty list is refused by the store itself, before the device is asked anything).
    static bool StoreThroughPreview(bool previewOn, size_t rows) { return previewOn && rows > 0; }

    // What the end of each device command shows. linkCause names a link's failure in the
    // user's words (the exchange's frames at hand).
    static CommandEnding WhatReadShows(const DeviceReadResult& result);
    // restoredFrom: the backup a restore stored back (empty for a store of a list).
    static StoreEnding WhatStoreShows(const DeviceStoreResult& result,
                                      const std::string& restoredFrom);
    static PreviewEnding WhatPreviewShows(const DeviceCurrentFile& current);
    static VerifyEnding WhatVerifyShows(const DeviceVerify& verify,
                                        const std::function<Cp1251String(LinkResult)>& linkCause);
    // The status once the user said "Нет" to a store (at its preview, or without a backup).
    static Cp1251String StoreDeclinedStatus();

    // What a read's result changes in the window.
    static ReadApply WhatReadChanges(const DeviceReadResult& result);
    // A read ended with result, once the window applied what it changes; the device has the
    // number `number` (a number 0 asks for any device and then takes the one that answered).
    void ReadEnded(const DeviceReadResult& result, uint32_t number);
    // A store (or a restore) ended; ownList: it stored the window's own list, whose number is
    // then the device's.
    void StoreEnded(const DeviceStoreResult& result, bool ownList, uint32_t number);
    // A check or a store's preview read the device with this number.
    void DeviceAnswered(uint32_t number) { deviceNumber_ = number; }

    // The report of the last store or check, none once the list changed after it.
    const CommissioningRecord* Report() const { return report_.get(); }
    // A store (stored) or a check (verification) ended with the device identified as info;
    // port: how it was reached, rows: the list stored or checked, backupFile: the backup the
    // store took first. A check of the list just stored adds to the store's report.
    void KeepReport(const std::string& port, const DeviceInfo& info, bool stored,
                    const VerificationSummary& verification, const SnvtList& rows,
                    const std::string& backupFile, std::time_t now, const std::string& userName);
    // The list changed: the report no longer describes it, unless only the check box of
    // changedRow changed (-1: any change).
    void ListChangedSinceReport(const SnvtList& list, int changedRow = -1);

  private:
    ListOrigin listSource_ = ListOrigin::Nothing;
    uint32_t deviceNumber_ = 1;
    bool unsaved_ = false;
    bool busy_ = false;
    bool closeWhenIdle_ = false;
    std::string openedConfigDir_;
    std::string lastSaveFolder_;
    std::unique_ptr<CommissioningRecord> report_;
};
