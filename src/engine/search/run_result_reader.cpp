#include "engine/search/run_result_reader.h"

#include <string>

#include "engine/adc/adc_result_decoder.h"
#include "engine/results/sr_decoder.h"
#include "engine/search/adc_run.h"
#include "engine/search/hub_address_book.h"
#include "engine/sys/log.h"

void RunResultReader::BeginRun(int64_t sizeLow, int64_t sizeHigh, int32_t perUserLimit, const HubAddressBook* hubs,
                               std::shared_ptr<const AdcRun> adcRun) {
    m_sizeLow = sizeLow;
    m_sizeHigh = sizeHigh;
    m_perUserLimit = perUserLimit;
    m_hubs = hubs;
    m_adcRun = std::move(adcRun);
    std::lock_guard guard(m_quotaLock);
    m_quota.Clear();
}

void RunResultReader::SetLiveFilter(bool atMostShown, bool onlyFreeSlots) {
    m_atMostShown = atMostShown;
    m_onlyFreeSlots = onlyFreeSlots;
}

int32_t RunResultReader::Read(const std::vector<std::string_view>& datagrams, ResultBatch& batch) {
    batch.Clear();
    const ResultFilter filter{m_sizeLow, m_sizeHigh, m_atMostShown, m_onlyFreeSlots};
    // Answers name their hub by the address it was reached at; its encoding reads their names.
    const HubEncodingFinder findHub = [this](std::string_view address) {
        return m_hubs != nullptr ? m_hubs->Find(address) : std::nullopt;
    };
    for (std::string_view datagram : datagrams) {
        // ADC answers share the port; their token names the hub.
        if (datagram.starts_with("URES ")) {
            if (m_adcRun)
                DecodeAdcDatagram(datagram, m_adcRun->Registry, filter, [&batch](const SearchResult& result) {
                    batch.Add(result);
                    return true;
                });
        } else {
            DecodeDatagram(datagram, filter, batch, findHub);
        }
    }
    return ApplyQuota(batch);
}

int32_t RunResultReader::Admit(const std::vector<SearchResult>& results, ResultBatch& batch) {
    batch.Clear();
    for (const SearchResult& result : results) batch.Add(result);
    return ApplyQuota(batch);
}

int32_t RunResultReader::ApplyQuota(ResultBatch& batch) {
    const std::size_t before = batch.Results().size();
    std::lock_guard guard(m_quotaLock);
    batch.KeepOnly([this](const SearchResult& result) {
        const Admission admission = m_quota.Admit(result.User, result.HubAddress, m_perUserLimit);
        if (admission == Admission::FirstRefused && LogEnabled(LogLevel::Info))
            Log(LogLevel::Info, "user " + result.User + " on hub " + result.HubAddress + " sent more than " +
                                    std::to_string(m_perUserLimit) + " results; the rest are dropped");
        return admission == Admission::Admitted;
    });
    return static_cast<int32_t>(before - batch.Results().size());
}
