// CentreAndRoundEach from particle i on, Lanes::kWidth particles per step; returns where it
// stopped. No include guard: runtime/each_vector_lanes.h includes it once per instruction set.
[[gnu::target(PP_LANES_TARGET)]] size_t CentreAndRoundFrom(const ParticleRun& particles,
                                                           QuadDrawRun& run, size_t i, size_t n,
                                                           float dx, float dy) {
    const Lanes::Float offsetX = Lanes::Set(dx);
    const Lanes::Float offsetY = Lanes::Set(dy);
    const Lanes::Float half = Lanes::Set(0.5f);
    for (; i + Lanes::kWidth <= n; i += Lanes::kWidth) {
        const Lanes::Float size = Lanes::Load(particles.Size + i);
        const Lanes::Float centre = Lanes::Mul(size, half);
        Lanes::RoundToInt(size, run.Size + i);
        Lanes::RoundToInt(Lanes::Sub(Lanes::Add(offsetX, Lanes::Load(particles.X + i)), centre),
                          run.X + i);
        Lanes::RoundToInt(Lanes::Sub(Lanes::Add(offsetY, Lanes::Load(particles.Y + i)), centre),
                          run.Y + i);
        Lanes::RoundToInt(Lanes::Load(particles.Transparency + i), run.Alpha + i);
    }
    return i;
}
