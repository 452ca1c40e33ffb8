// SheetJS (npm `xlsx`, installed into the bench build by scripts/bench.sh)
// reading a workbook as the dictionary loader does: the first sheet, the
// value of columns A and B of every row. A baseline for bench/compare.py,
// which runs it in a fresh node process, as it runs the loader. It is given
// its quickest settings for reading values: dense rows, the first sheet
// only, no HTML or formatted text made for the cells.
//
// usage: node sheetjs_load.js --modules DIR [--repeat N] FILE
// Prints, tab-separated: <file> <cells read> <first s> <warm best s>
// Times are processor seconds (process.cpuUsage, all of node's threads):
// the first read in the process and the best of N more (default 3; 1 when
// the first took more than 2 s).
"use strict";
const path = require("path");

function main() {
    const args = process.argv.slice(2);
    let modules = null;
    let repeat = 3;
    while (args.length > 1 && args[0].startsWith("--")) {
        const option = args.shift();
        if (option === "--modules") modules = args.shift();
        else if (option === "--repeat") repeat = Math.max(1, parseInt(args.shift(), 10) || 1);
        else break;
    }
    if (!modules || args.length !== 1) {
        console.error("usage: node sheetjs_load.js --modules DIR [--repeat N] FILE");
        process.exit(2);
    }
    const XLSX = require(path.join(path.resolve(modules), "xlsx"));
    const file = args[0];
    const options = {dense: true, sheets: 0, cellHTML: false, cellText: false};
    const read = () => {
        const start = process.cpuUsage();
        const book = XLSX.readFile(file, options);
        const sheet = book.Sheets[book.SheetNames[0]];
        let cells = 0;
        for (const row of sheet)
            if (row)
                for (let col = 0; col < 2; ++col)
                    if (row[col] && row[col].v !== undefined) ++cells;
        const used = process.cpuUsage(start);
        return {cells, seconds: (used.user + used.system) / 1e6};
    };
    const first = read();
    if (first.seconds > 2) repeat = 1;
    let best = Infinity;
    for (let run = 0; run < repeat; ++run) best = Math.min(best, read().seconds);
    console.log([file, first.cells, first.seconds.toFixed(6), best.toFixed(6)].join("\t"));
}

main();
