// Assembly of a simulated meter from its options.
#include "sim/simulator.h"

namespace Sim {

Simulator::Simulator(const Options &options)
    : m_instrument(options.modelRow, options.dut, options.noise, options.seed),
      m_host(m_instrument, HostOptions{options.thinkMs, options.paced, options.seed}) {}

} // namespace Sim
