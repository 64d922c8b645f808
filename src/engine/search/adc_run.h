#pragma once

#include "engine/adc/adc_identity.h"
#include "engine/adc/adc_messages.h"
#include "engine/adc/adc_run_registry.h"
#include "engine/results/sr_decoder.h"

// What the ADC hubs of one run share: who we are, what we search for, each hub's token and the users they announce
// (the registry the result datagrams are read with), and the filter for results the hubs relay. Made when the run
// starts; the session keeps it past the run's end for late answers.
struct AdcRun {
    AdcIdentity Identity;
    AdcSearchQuery Query;
    ResultFilter Filter;
    AdcRunRegistry Registry;
};
