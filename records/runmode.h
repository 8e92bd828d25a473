#pragma once

// The two kinds of droplet run, by the name the operator reads on the lane selection and the
// log shows. The pressure settings' keys and the run counters are named after them in lower
// case ("dpcr_line_1_target", "production/dpcr_run").
namespace runmode {

constexpr char kDpcr[] = "dPCR";
constexpr char kDmda[] = "dMDA";

} // namespace runmode
