#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include "core/PixelRows.h"
#include "core/Point.h"

namespace Trelm
{

class SearchHost;

/// One candidate of the search: five image pixels, the figure through them and its fitness.
class Chromosome
{
  public:
    /// Fitness of a chromosome that matched nothing (and the initial distance).
    static constexpr double NO_DISTANCE = 65535.0;

    std::array<Point, 5> genes;
    double distance = NO_DISTANCE;
    double completeness = -1.0;
    bool valid = false;
    bool reviewed = false;
    /// Number of holders beyond the first; see release().
    std::uint16_t shareCount = 0;
    /// Image pixels matched to the outline by the last evaluation, in matching order.
    std::vector<Point> matchedPixels;
    std::uint32_t ageInCluster = 0;
    /// The search whose image, axis limits and run state this chromosome uses; not owned, and
    /// null once that search is over.
    SearchHost* engine = nullptr;

    /// Scores the figure against the engine's image (completeness, distance).
    virtual void evaluate() = 0;
    /// Whether both chromosomes stand for the same figure; always true for itself.
    virtual bool isSimilar(const Chromosome* other) const = 0;
    /// Draws the ideal figure, or the matched pixels when ideal is false, into a grey image,
    /// as squares of the given thickness.
    virtual void draw(PixelRows& rows, int rowCount, int columnCount, bool ideal,
                      int thickness) const = 0;
    virtual ~Chromosome() = default;
    /// Writes the one-line report of the chromosome, flushing the stream.
    virtual std::ostream& print(std::ostream& out) const = 0;
    /// The outline points, in order, without copying them.
    virtual const std::vector<Point>& outline() const = 0;
    /// Recomputes the figure from the genes and, when it is valid, evaluates it.
    virtual void computeFigure() = 0;

    /// A holder lets go of a chromosome: it is destroyed when nobody else holds it,
    /// otherwise its share count drops by one. The one place where shared chromosomes die.
    static void release(Chromosome* chromosome);

  protected:
    explicit Chromosome(SearchHost* owner);
    Chromosome(const Chromosome& source);
    Chromosome& operator=(const Chromosome&) = delete;
};

/// Releases a list of chromosomes from its last element to its first and empties it.
void releaseAll(std::vector<Chromosome*>& chromosomes);

/// A list that is one holder of each of its chromosomes: clearing or destroying it releases
/// them, from the last to the first, by the share-count rule.
class SharedChromosomes
{
  public:
    SharedChromosomes() = default;
    SharedChromosomes(const SharedChromosomes&) = delete;
    SharedChromosomes& operator=(const SharedChromosomes&) = delete;
    SharedChromosomes(SharedChromosomes&& other) noexcept : items_(std::move(other.items_))
    {
        other.items_.clear();
    }
    SharedChromosomes& operator=(SharedChromosomes&& other) noexcept
    {
        if (this != &other) {
            clear();
            items_ = std::move(other.items_);
            other.items_.clear();
        }
        return *this;
    }
    ~SharedChromosomes() { clear(); }

    /// Takes a hold on a chromosome that the caller has already counted.
    void push_back(Chromosome* chromosome) { items_.push_back(chromosome); }
    void clear() { releaseAll(items_); }
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    Chromosome* operator[](std::size_t i) const { return items_[i]; }
    Chromosome* front() const { return items_.front(); }
    /// The held chromosomes, in order; appending to it takes a hold too.
    std::vector<Chromosome*>& items() { return items_; }
    const std::vector<Chromosome*>& items() const { return items_; }

  private:
    std::vector<Chromosome*> items_;
};

} // namespace Trelm
