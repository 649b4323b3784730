#include "genetic/Cluster.h"

#include <algorithm>

#include "core/Constants.h"
#include "core/Exceptions.h"
#include "genetic/EllipseChromosome.h"

namespace Trelm
{

namespace
{

constexpr int CUT_MIN = 1;
constexpr int CUT_MAX = 4;

const EllipseChromosome& asEllipse(const Chromosome* chromosome)
{
    return *static_cast<const EllipseChromosome*>(chromosome);
}

} // namespace

Cluster& Cluster::operator=(Cluster&& other) noexcept
{
    if (this != &other) {
        release();
        completenessPool = std::move(other.completenessPool);
        distancePool = std::move(other.distancePool);
        size = other.size;
        figureKind = other.figureKind;
        merged = other.merged;
        validCount = other.validCount;
    }
    return *this;
}

Chromosome* Cluster::best() const
{
    if (completenessPool.size() == 0)
        throw InvalidOperationException("Heap is empty");
    return completenessPool[0];
}

void Cluster::recountSize()
{
    size = std::min(completenessPool.size(), distancePool.size());
}

Chromosome* Cluster::takeTop(Pool pool)
{
    Chromosome* top = nullptr;
    if (pool == Pool::Completeness)
        completenessPool.pop(top);
    else
        distancePool.pop(top);
    recountSize();
    return top;
}

void Cluster::countMember(const Chromosome* chromosome)
{
    ++size;
    if (chromosome->valid)
        ++validCount;
}

void Cluster::insert(Chromosome* chromosome)
{
    completenessPool.push(chromosome);
    distancePool.push(chromosome);
    countMember(chromosome);
}

void Cluster::append(Chromosome* chromosome)
{
    completenessPool.appendUnordered(chromosome);
    distancePool.appendUnordered(chromosome);
    countMember(chromosome);
}

void Cluster::restoreOrder()
{
    completenessPool.rebuild();
    distancePool.rebuild();
}

void Cluster::removeMember(std::int32_t position)
{
    Chromosome* member = nullptr;
    completenessPool.removeAt(position, &member);
    --size;
    Chromosome* same = nullptr;
    distancePool.removeAt(distancePool.find(member), &same);
    if (member->valid)
        --validCount;
}

void Cluster::release()
{
    // Chromosomes held only by the distance pool belong to someone else at this point.
    for (std::int32_t i = completenessPool.size() - 1; i >= 0; --i)
        Chromosome::release(completenessPool[i]);
    completenessPool.clear();
    distancePool.clear();
}

void Cluster::absorb(Cluster& other, std::uint32_t clusterSize)
{
    std::int32_t moved = 0;
    if (clusterSize != 0) {
        // other's size shrinks as moved grows, so about half of it moves.
        while (moved < other.size) {
            append(other.takeTop(Pool::Completeness));
            ++moved;
            if (static_cast<std::uint32_t>(moved) == clusterSize)
                break;
        }
    }
    restoreOrder();
}

bool Cluster::isHomogeneous() const
{
    for (std::int32_t i = 0; i + 1 < size; ++i)
        if (!completenessPool[i]->isSimilar(completenessPool[i + 1]))
            return false;
    return true;
}

std::vector<double> Cluster::rankTable(int n)
{
    const int sum = (n * (n + 1)) / 2;
    std::vector<double> table(static_cast<std::size_t>(std::max(n, 0)) + 1, 0.0);
    for (int i = 1; i <= n; ++i)
        table[static_cast<std::size_t>(i)] =
            table[static_cast<std::size_t>(i) - 1] + static_cast<double>(n - i + 1) / sum;
    return table;
}

int Cluster::rankOf(double u, const std::vector<double>& table)
{
    for (std::size_t k = 0; k + 1 < table.size(); ++k)
        if (table[k] <= u && u < table[k + 1])
            return static_cast<int>(k);
    return -1;
}

// a1 is the rank of u1; a2 the rank of the first u2 that falls outside a1's bucket.
void Cluster::pickRanks(double u1, double u2, int n, int& a1, int& a2, RandomGenerator& random)
{
    const std::vector<double> table = rankTable(n);
    // One parent can never be picked twice, so a single candidate would redraw forever.
    if (n < 2)
        throw InvalidStateException("Parent not found");
    a1 = rankOf(u1, table);
    a2 = rankOf(u2, table);
    while (a1 >= 0 && a2 == a1) {
        u2 = random.randomReal(0, 1);
        a2 = rankOf(u2, table);
    }
    if (a1 < 0 || a2 < 0)
        throw InvalidStateException("Parent not found");
}

void Cluster::makeOffspring(std::vector<Chromosome*>& completenessElites,
                            std::vector<Chromosome*>& distanceElites, Offspring& out,
                            RunContext& context)
{
    const double u1 = context.random.randomReal(0, 1);
    const double u2 = context.random.randomReal(0, 1);
    const auto available = static_cast<std::uint64_t>(completenessElites.size()) +
                           static_cast<std::uint64_t>(std::max(size, 0));
    const int n = static_cast<int>(std::min<std::uint64_t>(
        available, static_cast<std::uint64_t>(context.settings.clusterSize)));
    int a1 = 0;
    int a2 = 0;
    pickRanks(u1, u2, n, a1, a2, context.random);

    // The lists hold the k-th most complete and k-th least distant chromosomes of the turn.
    const auto needed = static_cast<std::size_t>(std::max(a1, a2)) + 1;
    while (completenessElites.size() < needed)
        completenessElites.push_back(takeTop(Pool::Completeness));
    while (distanceElites.size() < needed)
        distanceElites.push_back(takeTop(Pool::Distance));

    makePair(completenessElites, a1, a2, out[0], out[1], context);
    makePair(distanceElites, a1, a2, out[2], out[3], context);
}

void Cluster::makePair(const std::vector<Chromosome*>& parents, int a1, int a2,
                       std::unique_ptr<Chromosome>& first, std::unique_ptr<Chromosome>& second,
                       RunContext& context)
{
    const Chromosome* p1 = parents[static_cast<std::size_t>(a1)];
    const Chromosome* p2 = parents[static_cast<std::size_t>(a2)];
    const double r = context.random.randomReal(0, 1);
    if (r < context.settings.crossoverRate && !p1->isSimilar(p2)) {
        const int cut = context.random.randomInt(CUT_MIN, CUT_MAX);
        if (figureKind == ELLIPSE_KIND) {
            first = std::make_unique<EllipseChromosome>(asEllipse(p1), asEllipse(p2), cut);
            second = std::make_unique<EllipseChromosome>(asEllipse(p2), asEllipse(p1), cut);
        }
    } else if (figureKind == ELLIPSE_KIND) {
        first = std::make_unique<EllipseChromosome>(asEllipse(p1));
        second = std::make_unique<EllipseChromosome>(asEllipse(p2));
    }
}

void Cluster::mutateAt(std::int32_t position)
{
    Chromosome* original = completenessPool[position];
    const std::int32_t distancePosition = distancePool.find(original);
    if (distancePosition == -1)
        throw InvalidStateException(
            "At least one chromosome not found in one of the pools but was found in the other");
    if (figureKind != ELLIPSE_KIND)
        return;
    auto mutant = std::make_unique<EllipseChromosome>(asEllipse(original));
    EllipseChromosome::mutate(*mutant);
    mutant->computeFigure();
    // Equal completeness keeps the original.
    if (!(mutant->completeness > original->completeness))
        return;
    Chromosome::release(original);
    completenessPool[position] = mutant.get();
    distancePool[distancePosition] = mutant.release();
}

} // namespace Trelm
