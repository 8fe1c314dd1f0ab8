set style data l 
set xlabel 'Energy [eV]'
set ylabel 'Cross section [A^2]'
plot [:] '{tmp}/db/HCl/DA/nu00/DA00J03.dat' u 1:2 t 'DEA, HCl( 0, 3)'
pause -1
