// What the command line tells its user, in English or Korean (UTF-8), and
// the language it speaks: the user's, chosen once at the start.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

enum class Language : std::uint8_t { English, Korean };

void UseLanguage(Language language);

// One of two texts, in the language in use.
std::string_view InLanguage(std::string_view english, std::string_view korean);

enum class Message : std::uint8_t {
    // --help
    ProgramSummary,
    ListSummary,
    StatusSummary,
    ShowSummary,
    SetLoginSummary,
    SetKeySummary,
    InitSummary,
    SerialOption,
    JsonOption,
    EachOption,
    RandomOption,
    CountOption,
    CsvOption,
    PasswordsNote,
    ExitCodesHeading,
    // prompts
    PromptKeyPassword,
    PromptCurrentKeyPassword,
    PromptNewKeyPassword,
    PromptNewKeyPasswordAgain,
    PromptNewLoginPassword,
    PromptEachKeyPassword,
    PromptEachKeyPasswordAgain,
    // typed texts
    TextTooLong,
    TextNotCp949,
    KeyPasswordEmpty,
    KeyPasswordFactoryMark,
    TypeAgain,
    InputEnded,
    // finding the key
    NoKeyAttached,
    KeyDidNotAnswer,
    KeyPermissionDenied,
    UdevRuleHint,
    PlugdevHint,
    KeyInUse,
    KeyUnusable,
    NoKeyWithSerial,
    OtherKeyThere,
    SeveralKeys,
    BadSerial,
    // facts
    StateAttached,
    StateInitial,
    StateNotAnswering,
    StatePermissionDenied,
    StateInUse,
    StateUnusable,
    LabelSerial,
    LabelState,
    LabelLoginId,
    LabelDevice,
    LoginPasswordIs,
    // outcomes
    WrongKeyPassword,
    ConfirmationMismatch,
    KeyNeedsInit,
    KeyNotInitial,
    LoginPasswordChanged,
    KeyPasswordChanged,
    FirstKeyPasswordSet,
    SilentAfterChange,
    ChangeRefused,
    ChangeInterrupted,
    KeyHoldsOld,
    KeyHoldsNew,
    LoginPasswordMixed,
    KeyPasswordMixed,
    KeyPasswordMixedForGood,
    FirstKeyPasswordMixed,
    WaitingForKey,
    RepairNewHolds,
    RepairOldBack,
    RepairFactoryBack,
    RepairNotDone,
    RepairGaveUp,
    RepairPendingFirst,
    RandomSourceFailed,
    OutputFailed,
    InterruptedNothingChanged,
    UsageError,
    SeeHelp,
    // init --each
    EachWaiting,
    EachSet,
    EachSkipped,
    EachFailed,
    EachRepairFirst,
    EachSummary,
};

// The message in the language in use, each "%s" replaced by the next of
// `values` in turn.
std::string Say(Message message, std::initializer_list<std::string_view> values = {});
