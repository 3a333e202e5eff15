#pragma once

class PartialTrack;

/**
 * Strength of a partial track at a frame, as heard: its amplitude, weighted by how far it
 * stands above its local level and above the harmonic mask, and by the A-weighting response
 * at its frequency. 0 where the track has no data. Any thread.
 */
double trackStrength(const PartialTrack& track, int frame);

/**
 * The A-weighting amplitude response R(f) = 12200² f⁴ ÷ ((f² + 20.6²) √((f² + 107.7²)
 * (f² + 737.9²)) (f² + 12200²)), without the usual normalisation gain.
 */
double aWeighting(double frequency);

/**
 * A candidate note at one frame: a fundamental track and the tracks near its harmonics.
 *
 * Members are kept in a flat list shared by all candidates of the frame (see NoteBuilder);
 * the group holds its range of that list. The fundamental is member 0, harmonic number 1.
 * Analysis thread only.
 */
struct HarmonicGroup
{
    /** One track's place in a group. */
    struct Member
    {
        int harmonic = 1;    ///< harmonic number, 1 for the fundamental
        float weight = 1.0f; ///< h^(−1/4) × exp(−0.5 × (h − ratio)² ÷ 0.01)
        float claim = 1.0f;  ///< 0 once a chosen group has claimed the track
        int group = 0;       ///< index of the group among the frame's candidates
        int track = 0;       ///< index of the track in the active list
    };

    static constexpr int kNotChosen = -1;

    PartialTrack* fundamental = nullptr;
    int firstMember = 0; ///< index into the frame's member list
    int memberCount = 0;
    int rank = kNotChosen; ///< 1, 2, … in order of choice
};

/**
 * Weight of a track whose frequency is `ratio` times a fundamental's, as harmonic number h =
 * floor(ratio + 0.5); 0 when h ≤ 1 or the ratio lies more than 0.2 from h.
 */
float harmonicWeight(double ratio, int* harmonic);
