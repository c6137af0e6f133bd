#!/usr/bin/env python3
"""Draws the modem's figures from tavirel_modem_bench's CSV files:
the character error rate against SNR for the three decoders, and the
spectrum of the transmitted signal.

    tavirel_modem_bench --curve curve.csv --spectrum spectrum.csv
    bench/plot_modem.py curve.csv spectrum.csv docs/

Needs matplotlib (Debian python3-matplotlib)."""
import csv
import math
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def read(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    curve, spectrum, out = read(sys.argv[1]), read(sys.argv[2]), sys.argv[3]

    fig, ax = plt.subplots(figsize=(7, 4.5), dpi=100)
    snr = [float(r["snr"]) for r in curve]
    for key, label, style in (("ideal", "ideal detector (true bit timing)", "k--"),
                              ("minimodem", "minimodem", "s-"),
                              ("ours", "Tavirel", "o-")):
        values = [float(r[key]) for r in curve]
        if all(math.isnan(v) for v in values):
            continue
        ax.semilogy(snr, [max(v, 0.005) for v in values], style, label=label, markersize=4)
    ax.axhline(1.0, color="grey", linewidth=0.8)
    ax.set_xlabel("SNR in 3 kHz (dB)")
    ax.set_ylabel("character error rate (%)")
    ax.set_ylim(0.005, 100)
    ax.set_title("RTTY 45.45 baud, 170 Hz shift, white noise")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(f"{out}/modem-cer.png")

    fig, ax = plt.subplots(figsize=(7, 3.5), dpi=100)
    ax.plot([float(r["hz"]) for r in spectrum], [float(r["db"]) for r in spectrum])
    ax.set_xlabel("frequency (Hz)")
    ax.set_ylabel("power (dB)")
    ax.set_ylim(-80, 3)
    ax.set_title("Transmitted spectrum: 2125/2295 Hz, 45.45 baud, raised-cosine glide")
    ax.grid(True, alpha=0.3)
    fig.tight_layout()
    fig.savefig(f"{out}/modem-tones.png")


if __name__ == "__main__":
    main()
