#include "api/SettingsBounds.h"

#include "core/Rounding.h"

namespace Trelm
{

namespace
{

// Bounds of what one generation step can do. A step visits every cluster, at most
// populations of them (plus the few that a very complete outcast founds anyway), and for a
// cluster of N = min(size, cluster-size) members, with round(x) = trunc(x + 0.5), it makes:
//   E = round(N * elite-proportion) elites (1 when below 2), drawn alternately from the
//       completeness and the distance pool, so ceil(E / 2) of them from a pool of N;
//   K = round((1 - discard-proportion) * N) offspring, ceil(K / 4) calls that give 4 each;
//   injections until the cluster holds cluster-size members;
//   M = round(cluster-size * mutation-rate) mutations at positions drawn from E + 1 to
//       present - 1, where present >= cluster-size once the injections are done.
// E and K grow with N, so they are checked at their largest, N = cluster-size.

// populations * cluster-size members filled by one step: 625 times the default 40 * 40.
constexpr std::uint64_t MAX_STEP_MEMBERS = 1000000;
// ceil(E / 2) <= N elites from one pool: E <= 2 * cluster-size, or the pool runs dry.
constexpr double MAX_ELITES_PER_MEMBER = 2;
// 4 * ceil(K / 4) <= 4 * cluster-size, that is K <= 4 * cluster-size: with E and the
// injections, a new cluster holds at most 6 * cluster-size members.
constexpr double MAX_OFFSPRING_PER_MEMBER = 4;
// M <= 10 * cluster-size mutations, each a copy and one evaluation.
constexpr double MAX_MUTATIONS_PER_MEMBER = 10;
// Mutation positions E + 1 to present - 1 exist for every present >= cluster-size only when
// E <= cluster-size - 2.
constexpr double MUTATION_SPARE_MEMBERS = 2;

} // namespace

std::vector<SettingsBounds::Suspect> SettingsBounds::unworkable(const SearchSettings& s)
{
    const double size = s.clusterSize;
    const Suspect elites{"elite-proportion", s.eliteProportion};
    const Suspect mutations{"mutation-rate", s.mutationRate};

    if (std::uint64_t{s.populations} * s.clusterSize > MAX_STEP_MEMBERS)
        return {{"populations", static_cast<double>(s.populations)}};
    double eliteCount = roundHalfTowardZero(size * s.eliteProportion);
    if (eliteCount < 2)
        eliteCount = 1;
    if (eliteCount > MAX_ELITES_PER_MEMBER * size)
        return {elites};
    if (roundHalfTowardZero((1 - s.discardProportion) * size) > MAX_OFFSPRING_PER_MEMBER * size)
        return {{"discard-proportion", s.discardProportion}};
    const double mutationCount = roundHalfTowardZero(size * s.mutationRate);
    if (mutationCount > MAX_MUTATIONS_PER_MEMBER * size)
        return {mutations};
    if (mutationCount > 0 && eliteCount > size - MUTATION_SPARE_MEMBERS)
        return {elites, mutations};
    return {};
}

std::string SettingsBounds::contradiction(const SearchSettings& s)
{
    if (s.lightIsActive && s.darkIsActive)
        return "the options '--light-is-active' and '--dark-is-active' cannot be given together";
    return "";
}

} // namespace Trelm
