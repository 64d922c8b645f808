#include "engine/adc/adc_hub_stay.h"

#include <optional>
#include <utility>

#include "engine/adc/adc_result_decoder.h"

void RememberAdcUser(const AdcMessage& message, AdcRunRegistry& run, AdcHubUsers& users) {
    const std::optional<AdcUserInfo> user = ParseAdcUserInfo(message);
    if (!user || user->Cid.empty()) return;
    users[std::string(user->Sid)] = user->Cid;
    run.AddUser(user->Cid, user->Nick, user->Slots);
}

AdcHubStay::AdcHubStay(AdcRunRegistry& run, const ResultFilter& filter, SearchResultSink onRelayedResult,
                       AdcHubUsers users)
    : m_run(run), m_filter(filter), m_onRelayedResult(std::move(onRelayedResult)), m_users(std::move(users)) {}

void AdcHubStay::Read(std::string_view line) {
    const std::optional<AdcMessage> message = ParseAdcMessage(line);
    if (!message) return;
    RememberAdcUser(*message, m_run, m_users);
    if (message->Type != 'D' || message->Command != "RES" || !m_onRelayedResult) return;
    const auto sender = m_users.find(std::string(message->Source));
    if (sender != m_users.end() && DecodeAdcResult(*message, sender->second, m_run, m_filter, m_result))
        m_onRelayedResult(m_result);
}
