#pragma once

// Fixed values the report code matches or inserts: the runner maker's and the
// runner repository's addresses as they appear in the runner's page, and the
// bundle identifiers of the apps behind the run folder prefixes.
namespace ReportConfiguration {

inline constexpr auto kRunnerMakerAddress = "https://devicelab.dev/";
inline constexpr auto kRunnerRepositoryAddress = "https://github.com/devicelab-dev/maestro-runner";

inline constexpr auto kSitBundleId = "io.kestrune.demo.sit";
inline constexpr auto kUatBundleId = "io.kestrune.demo.uat";
inline constexpr auto kPreprodBundleId = "io.kestrune.demo.preprod";

inline constexpr auto kProductTitle = "Kestrune";
inline constexpr auto kReportBrandName = "Olvex Mobile E2E";
inline constexpr auto kReportBrandMaker = "Trellisan";

} // namespace ReportConfiguration
