# Input and output of the chain for the demo sine (run from the repository root).
set terminal pngcairo size 1200,600 font "DejaVu Sans,11"
set output "out/chain-sine-110hz.png"
set title "110 Hz, 0.5 V sine through the preamp (exact engine, tone 7/7/7), last 30 ms"
set xlabel "time (ms)"
set ylabel "volts at the tone stack output"
set y2label "input volts"
set y2tics
set ytics nomirror
set grid
set key outside bottom center horizontal
rate = 44100.0
first = 44100 - 1323
plot "out/chain-gain0.f64"  binary format="%float64" every ::first using ($0/rate*1000):1 with lines lw 2 title "gain 0", \
     "out/chain-gain8.f64"  binary format="%float64" every ::first using ($0/rate*1000):1 with lines lw 2 title "gain 8", \
     "out/chain-gain16.f64" binary format="%float64" every ::first using ($0/rate*1000):1 with lines lw 2 title "gain 16", \
     "out/sine-110hz.f64"   binary format="%float64" every ::first using ($0/rate*1000):1 axes x1y2 with lines dt 2 lc "black" title "input"
