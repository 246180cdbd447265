# Grouped bars: write and read ns per record for each library at N = 1,000,000.
# usage: gnuplot -e "data='chart.dat'; output='bench.png'" chart.gp
set terminal pngcairo size 900,480 font "sans,11"
set output output
set title "Document of 1,000,000 records: CPU time per record (lower is better)"
set ylabel "ns per record (log scale)"
set logscale y
set yrange [50:*]
set grid ytics
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set datafile missing "-"
set key top left
plot data using 2:xtic(1) title "write" linecolor rgb "#2b6cb0", \
     '' using 3 title "read" linecolor rgb "#dd6b20"
