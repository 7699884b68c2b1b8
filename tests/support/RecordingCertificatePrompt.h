#pragma once
#include "platform/ICertificatePrompt.h"

#include <mutex>
#include <vector>

namespace testing_support
{

// Records every certificate question and gives the scripted answer (Cancel
// unless a test says otherwise). Thread-safe: workers ask.
class RecordingCertificatePrompt : public platform::ICertificatePrompt
{
public:
    bool TrustCertificate(const platform::CertificateQuestion& question) override
    {
        std::lock_guard lock(m_mutex);
        m_questions.push_back(question);
        return m_answer;
    }
    void SetAnswer(bool trust)
    {
        std::lock_guard lock(m_mutex);
        m_answer = trust;
    }
    std::vector<platform::CertificateQuestion> Questions() const
    {
        std::lock_guard lock(m_mutex);
        return m_questions;
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_questions.clear();
        m_answer = false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<platform::CertificateQuestion> m_questions;
    bool m_answer = false;
};

} // namespace testing_support
