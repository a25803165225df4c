// Reads DATs written by softlist2dat (the files named on the command line)
// with an independent ClrMamePro parser (robloach-datfile) and compares what
// it finds, game by game and rom by rom, with each DAT's own blocks, read
// here line by line from their fixed layout. Every value must read as
// written. Prints a summary; on any disagreement lists the entries and exits
// with 1.
'use strict'
const fs = require('fs')
const datfile = require('robloach-datfile')

function unquote (text) {
  return text.startsWith('"') && text.endsWith('"') ? text.slice(1, -1) : text
}

// The DAT's game blocks, from the layout the tool writes.
function blocksOf (text) {
  const games = []
  let game = null
  for (const line of text.split('\r\n')) {
    if (line === 'game (') {
      game = { name: undefined, description: undefined, rebuildto: undefined, cloneof: undefined, romof: undefined, roms: [] }
      games.push(game)
    } else if (game && line.startsWith('  name ')) {
      game.name = unquote(line.slice(7))
    } else if (game && line.startsWith('  description ')) {
      game.description = unquote(line.slice(14))
    } else if (game && line.startsWith('  rebuildto ')) {
      game.rebuildto = unquote(line.slice(12))
    } else if (game && line.startsWith('  cloneof ')) {
      game.cloneof = unquote(line.slice(10))
    } else if (game && line.startsWith('  romof ')) {
      game.romof = unquote(line.slice(8))
    } else if (game && (line.startsWith('  rom ( name "') || line.startsWith('  disk ( name "'))) {
      const at = line.indexOf('"') + 1
      const rom = { name: line.slice(at, line.indexOf('" ', at)) }
      // Keys and values after the name; a value in quotes (a merge) holds blanks.
      const fields = line.slice(line.indexOf('" ', at) + 2, -1).match(/"[^"]*"|\S+/g) || []
      for (let i = 0; i + 1 < fields.length; i += 2) rom[fields[i]] = unquote(fields[i + 1])
      game.roms.push(rom)
    }
  }
  return games
}

// The values both sides read (the parser keeps no merge: it must read the
// values after one all the same).
function romText (rom) {
  return ['name', 'size', 'crc', 'md5', 'sha1'].map(k => `${k}=${rom[k]}`).join(' ')
}

async function main () {
  const problems = []
  let gameCount = 0
  let romCount = 0
  for (const path of process.argv.slice(2)) {
    romCount += await check(path, problems)
    gameCount += blocksOf(fs.readFileSync(path, 'utf8')).length
  }
  if (problems.length > 0) {
    console.error(problems.join('\n'))
    process.exit(1)
  }
  const files = process.argv.length - 2
  console.log(`DAT client: robloach-datfile reads ${gameCount} games and ${romCount} entries (roms and disks)` +
    `${files > 1 ? ` in ${files} DATs` : ''}, each equal to the DAT's blocks`)
}

// Compares one DAT; returns its rom and disk count.
async function check (path, problems) {
  const text = fs.readFileSync(path, 'utf8')
  const ours = blocksOf(text)
  const theirs = await datfile.parseFile(path, { ignoreHeader: true })
  if (theirs.length !== ours.length) {
    problems.push(`${path}: the parser finds ${theirs.length} games, the DAT holds ${ours.length} game blocks`)
  }
  let romCount = 0
  for (let i = 0; i < Math.min(ours.length, theirs.length) && problems.length < 20; i++) {
    const a = ours[i]
    const b = theirs[i]
    const where = `${path}: game ${i + 1} "${a.name}" (${a.rebuildto})`
    for (const key of ['name', 'description', 'rebuildto', 'cloneof', 'romof']) {
      if (a[key] !== b[key]) problems.push(`${where}: ${key} reads ${JSON.stringify(b[key])}, DAT has ${JSON.stringify(a[key])}`)
    }
    const roms = b.entries || []
    romCount += a.roms.length
    if (roms.length !== a.roms.length) {
      problems.push(`${where}: the parser finds ${roms.length} roms, the DAT has ${a.roms.length}`)
      continue
    }
    for (let r = 0; r < roms.length; r++) {
      if (romText(roms[r]) !== romText(a.roms[r])) {
        problems.push(`${where}: rom ${r + 1} reads ${romText(roms[r])}, DAT has ${romText(a.roms[r])}`)
      }
    }
  }
  return romCount
}

main().catch(error => { console.error(error); process.exit(1) })
