#pragma once

// The main window's dialogs answered from a script, with a journal of what
// was shown (Windows only: FormDialogs speaks of window handles).

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "quarn/form_dialogs_win32.h"

namespace quarn::test {

class ScriptedFormDialogs final : public FormDialogs {
  public:
    std::deque<std::pair<bool, std::wstring>> inputs;     // confirm, text
    std::deque<std::optional<std::wstring>> fileChoices;  // nothing = cancelled
    std::deque<std::optional<std::wstring>> saveChoices;  // nothing = cancelled
    std::deque<bool> answers;                             // Yes or No; none left = No
    std::vector<std::wstring> journal;

    bool InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                          std::wstring& value, bool) override {
        journal.push_back(L"input " + caption + L" | " + prompt);
        if (inputs.empty()) {
            return false;
        }
        const auto [confirm, text] = inputs.front();
        inputs.pop_front();
        if (confirm) {
            value = text;
        }
        return confirm;
    }
    void ShowMessage(const std::wstring& text) override { journal.push_back(L"message " + text); }
    void ShowError(const std::wstring& text) override { journal.push_back(L"error " + text); }
    std::optional<std::wstring> ChooseFile(const FileDialogRequest& request) override {
        journal.push_back(L"file dialog " + request.fileName + L" " + request.filterPattern);
        return Next(fileChoices, std::optional<std::wstring>());
    }
    bool OpenWithShell(const std::wstring& file) override {
        journal.push_back(L"open " + file);
        return true;
    }
    bool AskYesNo(const std::wstring& text, const std::wstring& title) override {
        journal.push_back(L"question " + title + L" | " + text);
        return Next(answers, false);
    }
    std::optional<std::wstring> ChooseSaveFile(const FileDialogRequest& request) override {
        journal.push_back(L"save dialog " + request.fileName + L" " + request.filterPattern);
        return Next(saveChoices, std::optional<std::wstring>());
    }

  private:
    // The next scripted answer; when the script has run out, the answer of a
    // dialog closed without a choice.
    template <typename Answer>
    static Answer Next(std::deque<Answer>& script, Answer whenEmpty) {
        if (script.empty()) {
            return whenEmpty;
        }
        Answer answer = std::move(script.front());
        script.pop_front();
        return answer;
    }
};

}  // namespace quarn::test
