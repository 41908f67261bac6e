#pragma once

// Dialog answers from a script, and a journal of what was shown: the
// platform's edge of the password procedures, for tests.

#include <deque>
#include <string>
#include <vector>

#include "system/admin_password.h"

namespace quarn::test {

class ScriptedPrompts : public UserPrompts {
  public:
    struct Answer {
        bool confirm;
        std::wstring text;
    };
    static Answer Ok(std::wstring text) { return {true, std::move(text)}; }
    static Answer Cancel() { return {false, L""}; }

    explicit ScriptedPrompts(std::deque<Answer> answers) : answers_(std::move(answers)) {}

    bool InputQueryMasked(const std::wstring& caption, const std::wstring& prompt,
                          std::wstring& value, bool masked) override {
        journal.push_back(caption + L" | " + prompt + L" | [" + value + L"]" +
                          (masked ? L" masked" : L""));
        if (answers_.empty()) {
            journal.push_back(L"(no answer left: cancelled)");
            return false;
        }
        const Answer answer = answers_.front();
        answers_.pop_front();
        if (answer.confirm) {
            value = answer.text;
        }
        return answer.confirm;
    }

    void ShowMessage(const std::wstring& text) override { journal.push_back(L"message " + text); }

    std::size_t AnswersLeft() const { return answers_.size(); }

    std::vector<std::wstring> journal;

  private:
    std::deque<Answer> answers_;
};

}  // namespace quarn::test
